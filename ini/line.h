// One line of a profile: where it lies and what it is.
#pragma once

#include <cstddef>

#include "ini/text.h"

namespace quenmoor::ini {

enum class LineKind {
    Blank,    // nothing but blanks
    Comment,  // ";" is the first non-blank character
    Section,  // "[" is the first non-blank character
    Key,      // holds "=": a name and a value
    Other,    // anything else; names no key (see ReadLine)
};

struct ProfileLine {
    UnitSpan whole;   // the line with its line end
    UnitSpan ending;  // its line end (LF, CR LF or a lone CR); empty on a last line without one
    LineKind kind = LineKind::Blank;
    UnitSpan name;   // section or key name, blanks trimmed
    UnitSpan value;  // key value, blanks trimmed, any quotes kept

    bool operator==(const ProfileLine&) const = default;
};

// Reads the line that starts at unit `begin` (< text.Size()).
//
// A section header's name is what follows "[" up to the first "]", or up to the line end when
// there is no "]"; text after the "]" is ignored. A key line splits at its first "=". A line with
// neither "[", ";" nor "=" is not taken as a key of that name: Microsoft documents no meaning for
// it, and reading it as an empty key would let a stray word in a profile answer for a real
// setting, so it matches no key and new keys are not placed after it.
ProfileLine ReadLine(const ProfileText& text, std::size_t begin);

// The line end of the line that holds unit `at`; an empty span at the end of the text when that
// line has none.
UnitSpan LineEnding(const ProfileText& text, std::size_t at);

// The line end of the last line that ends at or before unit `before` (a line start or the end of
// the text); an empty span when no line before it has one.
UnitSpan LastLineEnding(const ProfileText& text, std::size_t before);

// The value of a key line as the program sees it: one outer pair of matching quotes (" or ')
// removed.
UnitSpan UnquotedValue(const ProfileText& text, const ProfileLine& line);

// Blanks are spaces and tabs, the only characters trimmed around names and values.
inline bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

}  // namespace quenmoor::ini

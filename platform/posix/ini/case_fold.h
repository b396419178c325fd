// Simple case folding, the length-preserving mapping that matches one letter with its other-case
// form and nothing else ("ß" does not match "SS"). Names that are equal apart from letter case
// have equal folded forms, which lets them be looked up by hash.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quenmoor::platform::posix {

// The code point at text[i], advancing i past it; an unpaired surrogate stands for itself.
char32_t NextCodePoint(std::u16string_view text, std::size_t& i);

// The folded form of a code point.
char32_t FoldedCodePoint(char32_t codePoint);

// `text` folded code point by code point: equal for two texts exactly when EqualIgnoringCase
// holds for them.
std::u32string CaseFolded(std::u16string_view text);

}  // namespace quenmoor::platform::posix

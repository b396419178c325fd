// Simple case folding, the length-preserving mapping that matches one letter with its other-case
// form and nothing else ("ß" does not match "SS"). Names that are equal apart from letter case
// have equal folded forms, which lets them be looked up by hash.
#pragma once

#include <string>
#include <string_view>

namespace quenmoor::ini {

// The folded form of a code point beyond ASCII.
char32_t FoldedBeyondAscii(char32_t codePoint);

// The folded form of a code point. Within ASCII, folding is plain lower case; section and key
// names are nearly always ASCII, so that branch is inline.
inline char32_t FoldedCodePoint(char32_t codePoint) {
    if (codePoint < 0x80) {
        return codePoint >= U'A' && codePoint <= U'Z' ? codePoint - U'A' + U'a' : codePoint;
    }
    return FoldedBeyondAscii(codePoint);
}

// Whether `a` and `b` are the same text apart from letter case: equal code point by code point
// after simple case folding.
bool FoldsAlike(std::u16string_view a, std::u16string_view b);

// `text` folded code point by code point: equal for two texts exactly when FoldsAlike holds for
// them.
std::u32string CaseFolded(std::u16string_view text);

}  // namespace quenmoor::ini

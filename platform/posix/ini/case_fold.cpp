#include "platform/posix/ini/case_fold.h"

#include <unicode/uchar.h>

#include <cstddef>

#include "platform/text_compare.h"

namespace quenmoor::platform::posix {

char32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
    const char16_t unit = text[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 &&
        text[i] <= 0xDFFF) {
        const char16_t low = text[i++];
        return 0x10000 + ((unit - 0xD800U) << 10U) + (low - 0xDC00U);
    }
    return unit;
}

char32_t FoldedCodePoint(char32_t codePoint) {
    // Within ASCII, folding is plain lower case; section and key names are nearly always ASCII.
    if (codePoint < 0x80) {
        return codePoint >= U'A' && codePoint <= U'Z' ? codePoint - U'A' + U'a' : codePoint;
    }
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(codePoint), U_FOLD_CASE_DEFAULT));
}

std::u32string CaseFolded(std::u16string_view text) {
    std::u32string folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        folded.push_back(FoldedCodePoint(NextCodePoint(text, i)));
    }
    return folded;
}

}  // namespace quenmoor::platform::posix

namespace quenmoor::platform {

// Compares code point by code point after simple case folding.
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = posix::NextCodePoint(a, i);
        const char32_t cb = posix::NextCodePoint(b, j);
        if (ca != cb && posix::FoldedCodePoint(ca) != posix::FoldedCodePoint(cb)) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

}  // namespace quenmoor::platform

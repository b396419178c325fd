#include "ini/case_fold.h"

#include <unicode/uchar.h>

#include <cstddef>

#include "text/utf.h"

namespace quenmoor::ini {

char32_t FoldedBeyondAscii(char32_t codePoint) {
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(codePoint), U_FOLD_CASE_DEFAULT));
}

bool FoldsAlike(std::u16string_view a, std::u16string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = text::NextCodePoint(a, i);
        const char32_t cb = text::NextCodePoint(b, j);
        if (ca != cb && FoldedCodePoint(ca) != FoldedCodePoint(cb)) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

std::u32string CaseFolded(std::u16string_view text) {
    std::u32string folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        folded.push_back(FoldedCodePoint(text::NextCodePoint(text, i)));
    }
    return folded;
}

}  // namespace quenmoor::ini

#include "platform/text_compare.h"

#include <cstddef>

#include "platform/posix/case_fold.h"

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

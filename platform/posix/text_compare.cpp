#include "platform/text_compare.h"

#include <unicode/uchar.h>

#include <cstddef>

namespace quenmoor::platform {
namespace {

// The code point at text[i], advancing i past it; an unpaired surrogate stands for itself.
UChar32 NextCodePoint(std::u16string_view text, std::size_t& i) {
    const char16_t unit = text[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 &&
        text[i] <= 0xDFFF) {
        const char16_t low = text[i++];
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    return unit;
}

}  // namespace

// Compares code point by code point after simple case folding, the length-preserving mapping
// that matches one letter with its other-case form and nothing else ("ß" does not match "SS").
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const UChar32 ca = NextCodePoint(a, i);
        const UChar32 cb = NextCodePoint(b, j);
        if (ca != cb &&
            u_foldCase(ca, U_FOLD_CASE_DEFAULT) != u_foldCase(cb, U_FOLD_CASE_DEFAULT)) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

}  // namespace quenmoor::platform

// Profile bytes in UTF-16 for tests, built independently of the code under test.
#pragma once

#include <string>
#include <string_view>

namespace quenmoor::test {

// `text` in UTF-16 (little- or big-endian) after its byte-order mark.
inline std::string Utf16(std::u16string_view text, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const auto low = static_cast<char>(unit & 0xFFU);
        const auto high = static_cast<char>(unit >> 8U);
        bytes.push_back(littleEndian ? low : high);
        bytes.push_back(littleEndian ? high : low);
    }
    return bytes;
}

}  // namespace quenmoor::test

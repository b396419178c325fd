#include "profile/integer_text.h"

#include <array>
#include <charconv>
#include <cstddef>

namespace quenmoor::profile {
namespace {

std::optional<std::uint32_t> HexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return static_cast<std::uint32_t>(c - u'0');
    }
    if (c >= u'a' && c <= u'f') {
        return static_cast<std::uint32_t>(c - u'a' + 10);
    }
    if (c >= u'A' && c <= u'F') {
        return static_cast<std::uint32_t>(c - u'A' + 10);
    }
    return std::nullopt;
}

// Length of the hexadecimal prefix at the start of `text`, 0 when there is none.
std::size_t HexPrefixLength(std::u16string_view text) {
    if (text.empty()) {
        return 0;
    }
    if (text[0] == u'$' || text[0] == u'x' || text[0] == u'X') {
        return 1;
    }
    if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        return 2;
    }
    return 0;
}

std::optional<std::uint32_t> ParseHexDigits(std::u16string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint32_t pattern = 0;
    for (const char16_t c : digits) {
        const auto digit = HexDigitValue(c);
        if (!digit || pattern > 0x0FFFFFFFU) {
            return std::nullopt;
        }
        pattern = (pattern << 4U) | *digit;
    }
    return pattern;
}

std::optional<std::int32_t> ParseDecimalDigits(std::u16string_view digits, bool negative) {
    if (digits.empty()) {
        return std::nullopt;
    }
    // The magnitude may reach 2^31 only for a negative number.
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (const char16_t c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

std::optional<std::int32_t> TryTextToInteger(std::u16string_view text) {
    const auto start = text.find_first_not_of(u' ');
    if (start == std::u16string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(start);
    const bool negative = text.front() == u'-';
    if (negative || text.front() == u'+') {
        text.remove_prefix(1);
    }
    if (const auto prefix = HexPrefixLength(text); prefix > 0) {
        const auto pattern = ParseHexDigits(text.substr(prefix));
        if (!pattern) {
            return std::nullopt;
        }
        // Two's complement: the pattern is the number, and "-" negates it with wrap-around.
        return static_cast<std::int32_t>(negative ? 0U - *pattern : *pattern);
    }
    return ParseDecimalDigits(text, negative);
}

std::u16string IntegerToText(std::int32_t value) {
    std::array<char, 16> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return {digits.data(), result.ptr};
}

}  // namespace quenmoor::profile

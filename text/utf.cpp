#include "text/utf.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace quenmoor::text {
namespace {

constexpr char32_t Replacement = 0xFFFD;

// Decodes the sequence that starts at bytes[pos]. Returns the code point and advances pos, or
// returns nothing for a sequence that is not well-formed.
std::optional<char32_t> DecodeOne(std::string_view bytes, std::size_t& pos) {
    const auto lead = static_cast<std::uint8_t>(bytes[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1FU;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0FU;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07U;
        minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (bytes.size() - pos < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(bytes[pos + i]);
        if ((next & 0xC0U) != 0x80U) {
            return std::nullopt;
        }
        value = (value << 6U) | (next & 0x3FU);
    }
    if (value < minimum || value > 0x10FFFF || IsHighSurrogate(value) || IsLowSurrogate(value)) {
        return std::nullopt;
    }
    pos += length;
    return value;
}

void AppendUtf8(std::string& out, char32_t cp) {
    auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0U | (cp >> 6U));
        put(0x80U | (cp & 0x3FU));
    } else if (cp < 0x10000) {
        put(0xE0U | (cp >> 12U));
        put(0x80U | ((cp >> 6U) & 0x3FU));
        put(0x80U | (cp & 0x3FU));
    } else {
        put(0xF0U | (cp >> 18U));
        put(0x80U | ((cp >> 12U) & 0x3FU));
        put(0x80U | ((cp >> 6U) & 0x3FU));
        put(0x80U | (cp & 0x3FU));
    }
}

// UTF-8 of `text`, each unpaired surrogate handed to `unpaired`: it gives the code point to
// write instead, or nothing to give up.
template <typename Unpaired>
std::optional<std::string> Utf8Of(std::u16string_view text, Unpaired unpaired) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = NextCodePoint(text, i);
        if (IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
            const std::optional<char32_t> instead = unpaired();
            if (!instead) {
                return std::nullopt;
            }
            cp = *instead;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

constexpr std::size_t AsciiBlock = 32;

// Whether none of the AsciiBlock bytes at `bytes` has its high bit set: four words at once, which
// the compiler turns into one vector test.
bool IsAsciiBlock(const char* bytes) {
    std::array<std::uint64_t, AsciiBlock / sizeof(std::uint64_t)> words{};
    std::memcpy(words.data(), bytes, AsciiBlock);
    return ((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080U) == 0;
}

}  // namespace

char32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
    const char16_t unit = text[i++];
    if (IsHighSurrogate(unit) && i < text.size() && IsLowSurrogate(text[i])) {
        const char16_t low = text[i++];
        return 0x10000 + ((unit - 0xD800U) << 10U) + (low - 0xDC00U);
    }
    return unit;
}

std::optional<std::string> ToUtf8(std::u16string_view text) {
    return Utf8Of(text, [] { return std::optional<char32_t>(); });
}

std::string ToUtf8Replacing(std::u16string_view text) {
    return *Utf8Of(text, [] { return std::optional<char32_t>(Replacement); });
}

std::optional<std::u16string> FromUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto cp = DecodeOne(bytes, pos);
        if (!cp) {
            return std::nullopt;
        }
        if (*cp < 0x10000) {
            out.push_back(static_cast<char16_t>(*cp));
        } else {
            const char32_t offset = *cp - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10U)));
            out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FFU)));
        }
    }
    return out;
}

bool IsWellFormedUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        // Runs of ASCII are the common case; skip them without decoding, a block at a time where
        // it can.
        if (bytes.size() - pos >= AsciiBlock && IsAsciiBlock(bytes.data() + pos)) {
            pos += AsciiBlock;
            continue;
        }
        if (static_cast<std::uint8_t>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        if (!DecodeOne(bytes, pos)) {
            return false;
        }
    }
    return true;
}

}  // namespace quenmoor::text

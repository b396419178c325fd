#include "platform/posix/ini/encoding.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quenmoor::platform::posix {

namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeMark = "\xFF\xFE";
constexpr std::string_view Utf16BeMark = "\xFE\xFF";

// Windows-1252 bytes 0x80 to 0x9F. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the C1 control of the same number, so every byte decodes and
// encodes back to itself; all other bytes are their Latin-1 code points.
constexpr std::array<char16_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t DecodeWindows1252(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return HighControlRange[byte - 0x80U];
    }
    return byte;
}

std::optional<char> EncodeWindows1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        return static_cast<char>(unit);
    }
    const auto* found = std::find(HighControlRange.begin(), HighControlRange.end(), unit);
    if (found == HighControlRange.end()) {
        return std::nullopt;
    }
    return static_cast<char>(0x80 + (found - HighControlRange.begin()));
}

}  // namespace

ProfileEncoding DetectEncoding(std::string_view bytes) {
    if (bytes.starts_with(Utf16LeMark)) {
        return {TextForm::Utf16Le, Utf16LeMark.size()};
    }
    if (bytes.starts_with(Utf16BeMark)) {
        return {TextForm::Utf16Be, Utf16BeMark.size()};
    }
    const std::size_t markSize = bytes.starts_with(Utf8Mark) ? Utf8Mark.size() : 0;
    const bool wellFormed = IsWellFormedUtf8(bytes.substr(markSize));
    return {wellFormed ? TextForm::Utf8 : TextForm::Windows1252, markSize};
}

std::size_t UnitSize(TextForm form) {
    return form == TextForm::Utf16Le || form == TextForm::Utf16Be ? 2 : 1;
}

std::optional<std::u16string> DecodeText(std::string_view bytes, TextForm form) {
    switch (form) {
        case TextForm::Utf8:
            return FromUtf8(bytes);
        case TextForm::Windows1252: {
            std::u16string text(bytes.size(), u'\0');
            std::transform(bytes.begin(), bytes.end(), text.begin(), [](char byte) {
                return DecodeWindows1252(static_cast<std::uint8_t>(byte));
            });
            return text;
        }
        case TextForm::Utf16Le:
        case TextForm::Utf16Be: {
            const bool little = form == TextForm::Utf16Le;
            std::u16string text(bytes.size() / 2, u'\0');
            for (std::size_t i = 0; i < text.size(); ++i) {
                const auto first = static_cast<std::uint8_t>(bytes[2 * i]);
                const auto second = static_cast<std::uint8_t>(bytes[(2 * i) + 1]);
                text[i] = little ? static_cast<char16_t>(first | (second << 8U))
                                 : static_cast<char16_t>((first << 8U) | second);
            }
            return text;
        }
    }
    return std::nullopt;
}

std::optional<std::string> EncodeText(std::u16string_view text, TextForm form) {
    switch (form) {
        case TextForm::Utf8:
            return ToUtf8(text);
        case TextForm::Windows1252: {
            std::string bytes;
            bytes.reserve(text.size());
            for (const char16_t unit : text) {
                const auto byte = EncodeWindows1252(unit);
                if (!byte) {
                    return std::nullopt;
                }
                bytes.push_back(*byte);
            }
            return bytes;
        }
        case TextForm::Utf16Le:
        case TextForm::Utf16Be: {
            const bool little = form == TextForm::Utf16Le;
            std::string bytes;
            bytes.reserve(text.size() * 2);
            for (const char16_t unit : text) {
                const auto low = static_cast<char>(unit & 0xFFU);
                const auto high = static_cast<char>(unit >> 8U);
                bytes.push_back(little ? low : high);
                bytes.push_back(little ? high : low);
            }
            return bytes;
        }
    }
    return std::nullopt;
}

namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

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

}  // namespace

std::optional<std::string> ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (IsLowSurrogate(unit)) {
            return std::nullopt;
        }
        if (IsHighSurrogate(unit)) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) {
                return std::nullopt;
            }
            const char32_t low = text[++i];
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10U) + (low - 0xDC00));
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
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

namespace {

constexpr std::size_t AsciiBlock = 32;

// Whether none of the AsciiBlock bytes at `bytes` has its high bit set: four words at once, which
// the compiler turns into one vector test.
bool IsAsciiBlock(const char* bytes) {
    std::array<std::uint64_t, AsciiBlock / sizeof(std::uint64_t)> words{};
    std::memcpy(words.data(), bytes, AsciiBlock);
    return ((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080U) == 0;
}

}  // namespace

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

}  // namespace quenmoor::platform::posix

#include "ini/encoding.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "text/utf.h"

namespace quenmoor::ini {

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
    const bool wellFormed = text::IsWellFormedUtf8(bytes.substr(markSize));
    return {wellFormed ? TextForm::Utf8 : TextForm::Windows1252, markSize};
}

std::size_t UnitSize(TextForm form) {
    return form == TextForm::Utf16Le || form == TextForm::Utf16Be ? 2 : 1;
}

std::optional<std::u16string> DecodeText(std::string_view bytes, TextForm form) {
    switch (form) {
        case TextForm::Utf8:
            return text::FromUtf8(bytes);
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
            return text::ToUtf8(text);
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

}  // namespace quenmoor::ini

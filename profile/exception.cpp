#include "profile/exception.h"

#include <cstdint>

namespace quenmoor::profile {
namespace {

// UTF-8 for what(); an unpaired surrogate, which no file name should hold, becomes U+FFFD.
std::string Utf8Of(std::u16string_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::uint32_t code = text[at];
        const bool lead = code >= 0xD800U && code <= 0xDBFFU;
        if (lead && at + 1 < text.size() && text[at + 1] >= 0xDC00U && text[at + 1] <= 0xDFFFU) {
            code = 0x10000U + ((code - 0xD800U) << 10U) + (text[++at] - 0xDC00U);
        } else if (code >= 0xD800U && code <= 0xDFFFU) {
            code = 0xFFFDU;
        }
        const auto byte = [&utf8](std::uint32_t value) {
            utf8.push_back(static_cast<char>(value));
        };
        if (code < 0x80U) {
            byte(code);
        } else if (code < 0x800U) {
            byte(0xC0U | (code >> 6U));
            byte(0x80U | (code & 0x3FU));
        } else if (code < 0x10000U) {
            byte(0xE0U | (code >> 12U));
            byte(0x80U | ((code >> 6U) & 0x3FU));
            byte(0x80U | (code & 0x3FU));
        } else {
            byte(0xF0U | (code >> 18U));
            byte(0x80U | ((code >> 12U) & 0x3FU));
            byte(0x80U | ((code >> 6U) & 0x3FU));
            byte(0x80U | (code & 0x3FU));
        }
    }
    return utf8;
}

}  // namespace

Exception::Exception(std::u16string message) {
    std::string utf8 = Utf8Of(message);
    text_ = std::make_shared<const Text>(Text{std::move(message), std::move(utf8)});
}

std::u16string Format(std::u16string_view pattern, std::u16string_view argument) {
    constexpr std::u16string_view Placeholder = u"%s";
    std::u16string text(pattern);
    if (const auto at = text.find(Placeholder); at != std::u16string::npos) {
        text.replace(at, Placeholder.size(), argument);
    }
    return text;
}

}  // namespace quenmoor::profile

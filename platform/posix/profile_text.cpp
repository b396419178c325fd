#include "platform/posix/profile_text.h"

#include <cstdint>

namespace quenmoor::platform::posix {

ProfileText::ProfileText(std::string_view bytes)
    : bytes_(bytes),
      encoding_(DetectEncoding(bytes)),
      unitSize_(UnitSize(encoding_.form)),
      size_((bytes.size() - encoding_.markSize) / unitSize_) {}

char16_t ProfileText::At(std::size_t index) const {
    const std::size_t offset = ByteOffset(index);
    const auto first = static_cast<std::uint8_t>(bytes_[offset]);
    switch (encoding_.form) {
        case TextForm::Utf16Le:
            return static_cast<char16_t>(first |
                                         (static_cast<std::uint8_t>(bytes_[offset + 1]) << 8U));
        case TextForm::Utf16Be:
            return static_cast<char16_t>((first << 8U) |
                                         static_cast<std::uint8_t>(bytes_[offset + 1]));
        case TextForm::Utf8:
        case TextForm::Windows1252:
            break;
    }
    return first;
}

std::optional<std::u16string> ProfileText::Decode(UnitSpan span) const {
    const std::size_t begin = ByteOffset(span.begin);
    return DecodeText(bytes_.substr(begin, ByteOffset(span.end) - begin), encoding_.form);
}

}  // namespace quenmoor::platform::posix

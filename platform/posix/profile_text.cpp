#include "platform/posix/profile_text.h"

#include <algorithm>
#include <cstring>

namespace quenmoor::platform::posix {

ProfileText::ProfileText(std::string_view bytes)
    : bytes_(bytes),
      encoding_(DetectEncoding(bytes)),
      unitSize_(UnitSize(encoding_.form)),
      size_((bytes.size() - encoding_.markSize) / unitSize_) {}

std::size_t ProfileText::Find(char16_t unit, std::size_t from, std::size_t to) const {
    if (unitSize_ != 1 || unit > 0xFF) {
        while (from < to && At(from) != unit) {
            ++from;
        }
        return from;
    }
    const char* const base = bytes_.data() + encoding_.markSize;
    const void* found = std::memchr(base + from, unit, to - from);
    return found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - base) : to;
}

std::size_t ProfileText::FindLineEnd(std::size_t from, std::size_t to) const {
    if (unitSize_ != 1) {
        while (from < to && At(from) != u'\r' && At(from) != u'\n') {
            ++from;
        }
        return from;
    }
    // memchr for each of the two bytes, a slice at a time: one search to the end of the text per
    // line would make a file with only one kind of line end quadratic.
    constexpr std::size_t Slice = 256;
    const char* const base = bytes_.data() + encoding_.markSize;
    while (from < to) {
        const std::size_t length = std::min(Slice, to - from);
        const auto* lineFeed = static_cast<const char*>(std::memchr(base + from, '\n', length));
        const std::size_t searched =
            lineFeed != nullptr ? static_cast<std::size_t>(lineFeed - (base + from)) : length;
        const auto* carriageReturn =
            static_cast<const char*>(std::memchr(base + from, '\r', searched));
        if (carriageReturn != nullptr) {
            return static_cast<std::size_t>(carriageReturn - base);
        }
        if (lineFeed != nullptr) {
            return static_cast<std::size_t>(lineFeed - base);
        }
        from += length;
    }
    return to;
}

std::optional<std::u16string> ProfileText::Decode(UnitSpan span) const {
    const std::size_t begin = ByteOffset(span.begin);
    return DecodeText(bytes_.substr(begin, ByteOffset(span.end) - begin), encoding_.form);
}

}  // namespace quenmoor::platform::posix

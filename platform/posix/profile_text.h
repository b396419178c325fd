// A profile's bytes seen as code units of its encoding, without decoding them up front.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/profile_encoding.h"

namespace quenmoor::platform::posix {

// A range of code units, end exclusive.
struct UnitSpan {
    std::size_t begin = 0;
    std::size_t end = 0;

    [[nodiscard]] bool Empty() const { return begin == end; }
    [[nodiscard]] std::size_t Size() const { return end - begin; }
};

// The profile's structural characters ([ ] = ; quotes, blanks, CR, LF) are ASCII, and in UTF-8 and
// Windows-1252 an ASCII byte never occurs inside a longer sequence, so those forms are scanned byte
// by byte and UTF-16 unit by unit. Only the names and values a caller asks about get decoded.
class ProfileText {
  public:
    explicit ProfileText(std::string_view bytes);

    [[nodiscard]] std::string_view Bytes() const { return bytes_; }
    [[nodiscard]] ProfileEncoding Encoding() const { return encoding_; }

    // Number of code units after the byte-order mark (a dangling odd byte of UTF-16 is not one).
    [[nodiscard]] std::size_t Size() const { return size_; }

    // The code unit at `index`; for the byte forms, the byte's value.
    [[nodiscard]] char16_t At(std::size_t index) const;

    // Where code unit `index` starts in Bytes().
    [[nodiscard]] std::size_t ByteOffset(std::size_t index) const {
        return encoding_.markSize + (index * unitSize_);
    }

    [[nodiscard]] std::optional<std::u16string> Decode(UnitSpan span) const;

  private:
    std::string_view bytes_;
    ProfileEncoding encoding_;
    std::size_t unitSize_;
    std::size_t size_;
};

}  // namespace quenmoor::platform::posix

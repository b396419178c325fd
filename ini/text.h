// A profile's bytes seen as code units of its encoding, without decoding them up front.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ini/encoding.h"

namespace quenmoor::ini {

// A range of code units, end exclusive.
struct UnitSpan {
    std::size_t begin = 0;
    std::size_t end = 0;

    [[nodiscard]] bool Empty() const { return begin == end; }
    [[nodiscard]] std::size_t Size() const { return end - begin; }

    bool operator==(const UnitSpan&) const = default;
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

    // The code unit at `index`; for the byte forms, the byte's value. Inline, as every line scan
    // calls it unit by unit.
    [[nodiscard]] char16_t At(std::size_t index) const {
        const std::size_t offset = ByteOffset(index);
        const auto first = static_cast<std::uint8_t>(bytes_[offset]);
        if (unitSize_ == 1) {
            return first;
        }
        const auto second = static_cast<std::uint8_t>(bytes_[offset + 1]);
        return encoding_.form == TextForm::Utf16Le ? static_cast<char16_t>(first | (second << 8U))
                                                   : static_cast<char16_t>((first << 8U) | second);
    }

    // The first unit equal to `unit` from unit `from` up to (not including) `to`; `to` when there
    // is none.
    [[nodiscard]] std::size_t Find(char16_t unit, std::size_t from, std::size_t to) const;

    // The first CR or LF from unit `from` up to (not including) `to`; `to` when there is none.
    [[nodiscard]] std::size_t FindLineEnd(std::size_t from, std::size_t to) const;

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

}  // namespace quenmoor::ini

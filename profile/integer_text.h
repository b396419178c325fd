// How integers are stored in a profile as text, and read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::profile {

// Converts integer text: leading spaces (U+0020 only), an optional sign, then either decimal
// digits within the 32-bit signed range or a hexadecimal number introduced by "$", "x", "X",
// "0x" or "0X" of at most eight significant digits, read as a 32-bit pattern. The digits must run
// to the end of the text. Nothing when the text is not such a number.
std::optional<std::int32_t> TryTextToInteger(std::u16string_view text);

// Plain decimal text: digits without leading zeros, "-" in front when negative.
std::u16string IntegerToText(std::int32_t value);

}  // namespace quenmoor::profile

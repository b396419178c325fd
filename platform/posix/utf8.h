// Strict conversion between UTF-16 code units and UTF-8 bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::platform::posix {

// UTF-16 to UTF-8; nothing when the text holds an unpaired surrogate, which UTF-8 cannot carry.
std::optional<std::string> ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16; nothing when the bytes are not well-formed UTF-8 (overlong forms, surrogate
// code points and values above U+10FFFF are not well-formed).
std::optional<std::u16string> FromUtf8(std::string_view bytes);

// Whether `bytes` is well-formed UTF-8, without building the converted text.
bool IsWellFormedUtf8(std::string_view bytes);

}  // namespace quenmoor::platform::posix

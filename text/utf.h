// UTF-16 code units, the code points they carry, and UTF-8: the one place the program decodes
// surrogate pairs and converts between the two forms. Nothing here depends on the operating
// system.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::text {

inline bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point that starts at text[i], advancing i past it. A surrogate that is not part of a
// pair stands for itself.
char32_t NextCodePoint(std::u16string_view text, std::size_t& i);

// UTF-16 to UTF-8; nothing when the text holds an unpaired surrogate, which UTF-8 cannot carry.
std::optional<std::string> ToUtf8(std::u16string_view text);

// UTF-16 to UTF-8 with each unpaired surrogate replaced by U+FFFD, for text that must be shown
// whatever it holds.
std::string ToUtf8Replacing(std::u16string_view text);

// UTF-8 to UTF-16; nothing when the bytes are not well-formed UTF-8 (overlong forms, surrogate
// code points and values above U+10FFFF are not well-formed).
std::optional<std::u16string> FromUtf8(std::string_view bytes);

// Whether `bytes` is well-formed UTF-8, without building the converted text.
bool IsWellFormedUtf8(std::string_view bytes);

}  // namespace quenmoor::text

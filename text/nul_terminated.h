// Handing text back through a caller's buffer the way the profile functions do: cut to fit,
// always followed by a NUL.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

namespace quenmoor::text {

// Copies `text` into `buffer`, cut to buffer.size() - 1 code units, and puts a NUL after it.
// Returns the number of code units copied, not counting the NUL. `buffer` must not be empty.
// The units may be of any 16-bit character type (char16_t, or wchar_t on Windows).
template <typename Unit>
std::uint32_t CopyWithNul(std::basic_string_view<Unit> text, std::span<char16_t> buffer) {
    static_assert(sizeof(Unit) == sizeof(char16_t));
    const std::size_t count = std::min(text.size(), buffer.size() - 1);
    std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(count), buffer.begin(),
                   [](Unit unit) { return static_cast<char16_t>(unit); });
    buffer[count] = u'\0';
    return static_cast<std::uint32_t>(count);
}

}  // namespace quenmoor::text

// The program's UTF-16 text as the wide strings of the Windows API. Both are UTF-16 code units;
// only the C++ character type differs, so the conversion copies unit by unit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::platform::win32 {

inline std::wstring ToWide(std::u16string_view text) { return {text.begin(), text.end()}; }

// A null argument stays null: the profile functions give it a meaning of its own.
inline std::optional<std::wstring> ToWide(const char16_t* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    return ToWide(std::u16string_view(text));
}

inline const wchar_t* PointerOrNull(const std::optional<std::wstring>& text) {
    return text ? text->c_str() : nullptr;
}

}  // namespace quenmoor::platform::win32

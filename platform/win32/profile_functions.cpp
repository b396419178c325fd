#include "platform/profile_functions.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "text/nul_terminated.h"

namespace quenmoor::platform {

std::uint32_t ReadProfileValue(const char16_t* section, const char16_t* key,
                               const char16_t* defaultValue, std::span<char16_t> buffer,
                               const char16_t* fileName) {
    if (buffer.empty()) {
        return 0;
    }
    const auto wideSection = win32::ToWide(section);
    const auto wideKey = win32::ToWide(key);
    const auto wideDefault = win32::ToWide(defaultValue);
    const auto wideFile = win32::ToWide(fileName);
    std::vector<wchar_t> wide(buffer.size());
    const DWORD count =
        ::GetPrivateProfileStringW(win32::PointerOrNull(wideSection), win32::PointerOrNull(wideKey),
                                   win32::PointerOrNull(wideDefault), wide.data(),
                                   static_cast<DWORD>(wide.size()), win32::PointerOrNull(wideFile));
    return text::CopyWithNul(
        std::wstring_view(wide.data(), std::min<std::size_t>(count, wide.size())), buffer);
}

bool WriteProfileValue(const char16_t* section, const char16_t* key, const char16_t* value,
                       const char16_t* fileName) {
    const auto wideSection = win32::ToWide(section);
    const auto wideKey = win32::ToWide(key);
    const auto wideValue = win32::ToWide(value);
    const auto wideFile = win32::ToWide(fileName);
    return ::WritePrivateProfileStringW(
               win32::PointerOrNull(wideSection), win32::PointerOrNull(wideKey),
               win32::PointerOrNull(wideValue), win32::PointerOrNull(wideFile)) != FALSE;
}

}  // namespace quenmoor::platform

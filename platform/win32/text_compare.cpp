#include "platform/text_compare.h"

#include <string>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace quenmoor::platform {

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    const std::wstring wideA = win32::ToWide(a);
    const std::wstring wideB = win32::ToWide(b);
    return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wideA.data(),
                            static_cast<int>(wideA.size()), wideB.data(),
                            static_cast<int>(wideB.size())) == CSTR_EQUAL;
}

}  // namespace quenmoor::platform

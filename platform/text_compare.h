// Text comparison as the platform's user interface does it.
#pragma once

#include <string_view>

namespace quenmoor::platform {

// True when `a` and `b` are the same text apart from letter case.
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace quenmoor::platform

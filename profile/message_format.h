// Filling in the placeholder of a failure's message text.
#pragma once

#include <string>
#include <string_view>

namespace quenmoor::profile {

// Puts `argument` in place of the first "%s" of `pattern`.
std::u16string Format(std::u16string_view pattern, std::u16string_view argument);

}  // namespace quenmoor::profile

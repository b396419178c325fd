#include "profile/message_format.h"

namespace quenmoor::profile {

std::u16string Format(std::u16string_view pattern, std::u16string_view argument) {
    constexpr std::u16string_view Placeholder = u"%s";
    std::u16string text(pattern);
    if (const auto at = text.find(Placeholder); at != std::u16string::npos) {
        text.replace(at, Placeholder.size(), argument);
    }
    return text;
}

}  // namespace quenmoor::profile

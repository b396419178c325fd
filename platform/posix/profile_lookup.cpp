#include "platform/posix/profile_lookup.h"

namespace quenmoor::platform::posix {

std::u16string_view TrimBlanks(std::u16string_view name) {
    while (!name.empty() && IsBlank(name.front())) {
        name.remove_prefix(1);
    }
    while (!name.empty() && IsBlank(name.back())) {
        name.remove_suffix(1);
    }
    return name;
}

}  // namespace quenmoor::platform::posix

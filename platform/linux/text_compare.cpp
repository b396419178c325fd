#include "platform/text_compare.h"

#include "ini/case_fold.h"

namespace quenmoor::platform {

// The rule our profile functions match section and key names by, so that the "0x" prefix and a
// name compare alike.
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return ini::FoldsAlike(a, b);
}

}  // namespace quenmoor::platform

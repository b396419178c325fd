#include "profile/exception.h"

#include "text/utf.h"

namespace quenmoor::profile {

// what() shows an unpaired surrogate, which no file name should hold, as U+FFFD.
Exception::Exception(std::u16string message) {
    std::string utf8 = text::ToUtf8Replacing(message);
    text_ = std::make_shared<const Text>(Text{std::move(message), std::move(utf8)});
}

}  // namespace quenmoor::profile

// The failure of a profile write that the platform refused.
#pragma once

#include <string_view>

#include "profile/exception.h"
#include "profile/message_format.h"

namespace quenmoor::profile {

class EIniFileException : public Exception {
  public:
    // The message names the profile: "Unable to write to <FileName>".
    explicit EIniFileException(std::u16string_view FileName)
        : Exception(Format(u"Unable to write to %s", FileName)) {}
};

}  // namespace quenmoor::profile

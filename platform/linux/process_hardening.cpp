#include "platform/process_hardening.h"

namespace quenmoor::platform {

// Nothing to ask for: Linux has no switch that makes a whole process refuse links other users
// made (openat2 can refuse links for one path at a time, which is not this request).
void RefuseUntrustedJunctions() noexcept {}

}  // namespace quenmoor::platform

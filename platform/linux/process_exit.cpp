#include "platform/process_exit.h"

#include <cstdlib>

namespace quenmoor::platform {

void ExitProcess(std::uint32_t status) { std::exit(static_cast<int>(status)); }

}  // namespace quenmoor::platform

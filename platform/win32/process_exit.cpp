#include "platform/process_exit.h"

#include <windows.h>

namespace quenmoor::platform {

void ExitProcess(std::uint32_t status) { ::ExitProcess(status); }

}  // namespace quenmoor::platform

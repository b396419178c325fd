#include "platform/process_exit.h"

#include "platform/win32/windows_api.h"

namespace quenmoor::platform {

void ExitProcess(std::uint32_t status) { ::ExitProcess(status); }

}  // namespace quenmoor::platform

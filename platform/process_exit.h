// Ending the process.
#pragma once

#include <cstdint>

namespace quenmoor::platform {

// Ends the process at once with `status`.
[[noreturn]] void ExitProcess(std::uint32_t status);

}  // namespace quenmoor::platform

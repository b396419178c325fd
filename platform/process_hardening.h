// What the process asks of the operating system for itself before it touches a file.
#pragma once

namespace quenmoor::platform {

// Asks the system to stop this process from following a junction that no administrator made,
// where the system offers that. Nothing is reported: a system that refuses or does not know the
// request leaves the process as it was, and the run goes on unchanged.
void RefuseUntrustedJunctions() noexcept;

}  // namespace quenmoor::platform

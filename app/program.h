// The program as a whole: one silent update run that always ends with status 0.
#pragma once

namespace quenmoor::app {

// Runs the update over the fixed profile paths, discards every failure (out of memory included)
// and ends the process with status 0. Prints nothing.
[[noreturn]] void RunProgram() noexcept;

}  // namespace quenmoor::app

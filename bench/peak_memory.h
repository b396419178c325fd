// The most memory this process has held in RAM at once.
#pragma once

#include <cstdint>

namespace quenmoor::bench {

// Peak resident set size in bytes since the process started (VmHWM on Linux, the peak working
// set on Windows; under Wine that is Linux's figure for the Wine process); 0 when unknown. The
// report runs every case in a process of its own, so this is the peak of that one case.
std::uint64_t PeakResidentBytes();

}  // namespace quenmoor::bench

#include "bench/peak_memory.h"

#include "platform/win32/windows_api.h"
// After windows.h, which it needs.
#include <psapi.h>

namespace quenmoor::bench {

std::uint64_t PeakResidentBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters) == FALSE) {
        return 0;
    }
    return counters.PeakWorkingSetSize;
}

}  // namespace quenmoor::bench

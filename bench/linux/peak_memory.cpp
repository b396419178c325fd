#include "bench/peak_memory.h"

#include <fstream>
#include <sstream>
#include <string>

namespace quenmoor::bench {

std::uint64_t PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) {
            std::istringstream fields(line.substr(6));
            std::uint64_t kibibytes = 0;
            fields >> kibibytes;
            return kibibytes * 1024;
        }
    }
    return 0;
}

}  // namespace quenmoor::bench

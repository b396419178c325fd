// Under Wine, starting a process measures Wine's own start-up, not the program's on Windows: the
// whole-process cases are native only.
#include "bench/benchmarks.h"

namespace quenmoor::bench {

void RegisterProcessBenchmarks(const std::filesystem::path& /*root*/) {}

}  // namespace quenmoor::bench

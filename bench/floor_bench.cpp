// The floor on every size, in the same binary as the cases it is the floor of.
#include <string>

#include "bench/bench_case.h"
#include "bench/benchmarks.h"
#include "bench/floor.h"

namespace quenmoor::bench {

void RegisterFloorBenchmarks(const std::filesystem::path& root) {
    for (const ProfileSize size : AllSizes) {
        Register(root, {.name = "Floor/" + std::string(Label(size)),
                        .size = size,
                        .state = LinkState::Current,
                        .run = [](const RunFiles& files) { RunFloor(files.source, files.target); },
                        .check = [](const RunFiles& files) -> std::string {
                            return std::filesystem::file_size(files.target) ==
                                           std::filesystem::file_size(files.source)
                                       ? ""
                                       : "the copy is incomplete";
                        }});
    }
}

}  // namespace quenmoor::bench

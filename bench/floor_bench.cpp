// The floor on every size, in the same binary as the cases it is the floor of.
#include <string>

#include "bench/bench_case.h"
#include "bench/benchmarks.h"
#include "bench/floor.h"

namespace quenmoor::bench {

void RegisterFloorBenchmarks(const std::filesystem::path& root) {
    for (const ProfileSize size : AllSizes) {
        Register(
            root,
            {.name = "Floor/" + std::string(Label(size)),
             .size = size,
             .state = LinkState::Current,
             .run = [](const ProfileScene& scene) { RunFloor(scene.Source(), scene.Target()); },
             .check = [](const ProfileScene& scene) -> std::string {
                 return std::filesystem::file_size(scene.Target()) == scene.Bytes()
                            ? ""
                            : "the copy is incomplete";
             }});
    }
}

}  // namespace quenmoor::bench

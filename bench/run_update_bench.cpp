// The whole run, RunUpdate exactly as the program calls it, on every size and state.
#include <string>

#include "app/update_run.h"
#include "bench/bench_case.h"
#include "bench/benchmarks.h"

namespace quenmoor::bench {

void RegisterRunUpdateBenchmarks(const std::filesystem::path& root) {
    for (const ProfileSize size : AllSizes) {
        for (const LinkState state : AllStates) {
            Register(
                root,
                {.name = "RunUpdate/" + std::string(Label(size)) + "/" + std::string(Label(state)),
                 .size = size,
                 .state = state,
                 .run =
                     [](const ProfileScene& scene) {
                         app::RunUpdate(scene.SourceName(), scene.TargetName());
                     },
                 .check = [state](const ProfileScene& scene) -> std::string {
                     const bool copied = std::filesystem::exists(scene.Target());
                     if (copied == (state == LinkState::VersionZero)) {
                         return copied ? "the gate did not stop the run" : "the run made no copy";
                     }
                     return {};
                 }});
        }
    }
}

}  // namespace quenmoor::bench

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
                 .writesEveryLink = state == LinkState::Stale,
                 .run =
                     [](const RunFiles& files) {
                         app::RunUpdate(files.SourceName(), files.TargetName());
                     },
                 .check = [state](const RunFiles& files) -> std::string {
                     const bool copied = std::filesystem::exists(files.target);
                     if (copied == (state == LinkState::VersionZero)) {
                         return copied ? "the gate did not stop the run" : "the run made no copy";
                     }
                     return {};
                 }});
        }
    }
}

}  // namespace quenmoor::bench

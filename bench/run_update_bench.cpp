// The whole run, RunUpdate exactly as the program calls it, on every size and state.
#include <string>

#include "app/update_run.h"
#include "bench/bench_case.h"
#include "bench/benchmarks.h"

namespace quenmoor::bench {

void RegisterRunUpdateBenchmarks(const std::filesystem::path& root) {
    const auto run = [](const RunFiles& files) {
        app::RunUpdate(files.SourceName(), files.TargetName());
    };
    for (const ProfileSize size : AllSizes) {
        for (const LinkState state : AllStates) {
            const std::string name =
                "RunUpdate/" + std::string(Label(size)) + "/" + std::string(Label(state));
            const auto check = [state](const RunFiles& files) -> std::string {
                const bool copied = std::filesystem::exists(files.target);
                if (copied == (state == LinkState::VersionZero)) {
                    return copied ? "the gate did not stop the run" : "the run made no copy";
                }
                return {};
            };
            Register(root, {.name = name,
                            .size = size,
                            .state = state,
                            .writesEveryLink = state == LinkState::Stale,
                            .run = run,
                            .check = check});
            if (state == LinkState::Current) {
                // The links-current run again, in turns with the floor.
                Register(root, {.name = name + "-vs-floor",
                                .size = size,
                                .state = state,
                                .pairedWithFloor = true,
                                .run = run,
                                .check = check});
            }
        }
    }
}

}  // namespace quenmoor::bench

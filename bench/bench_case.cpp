#include "bench/bench_case.h"

#include <exception>
#include <utility>

#include "bench/floor.h"

namespace quenmoor::bench {

void Register(const std::filesystem::path& root, SceneCase sceneCase) {
    const benchmark::IterationCount iterations =
        IterationsFor(sceneCase.size, sceneCase.writesEveryLink);
    const std::string name = sceneCase.name;
    benchmark::RegisterBenchmark(
        name.c_str(),
        [root, sceneCase = std::move(sceneCase)](benchmark::State& state) {
            try {
                ProfileScene scene(root, sceneCase.size, sceneCase.state);
                const RunFiles& last =
                    sceneCase.pairedWithFloor
                        ? TimePairedWithFloor(
                              state, scene, sceneCase.run,
                              [](const RunFiles& files) { RunFloor(files.source, files.target); })
                        : TimeEachIteration(state, scene, sceneCase.run);
                if (const std::string problem = sceneCase.check(last); !problem.empty()) {
                    state.SkipWithError(problem.c_str());
                }
            } catch (const std::exception& failure) {
                state.SkipWithError(failure.what());
            }
        })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(iterations);
}

}  // namespace quenmoor::bench

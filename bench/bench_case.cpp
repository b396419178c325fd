#include "bench/bench_case.h"

#include <exception>
#include <utility>

namespace quenmoor::bench {

void Register(const std::filesystem::path& root, SceneCase sceneCase) {
    const ProfileSize size = sceneCase.size;
    const std::string name = sceneCase.name;
    benchmark::RegisterBenchmark(
        name.c_str(),
        [root, sceneCase = std::move(sceneCase)](benchmark::State& state) {
            try {
                const ProfileScene scene(root, sceneCase.size, sceneCase.state);
                TimeEachIteration(state, scene, [&] { sceneCase.run(scene); });
                if (const std::string problem = sceneCase.check(scene); !problem.empty()) {
                    state.SkipWithError(problem.c_str());
                }
            } catch (const std::exception& failure) {
                state.SkipWithError(failure.what());
            }
        })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(IterationsFor(size));
}

}  // namespace quenmoor::bench

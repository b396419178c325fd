// The benchmark program. Profiles are generated under the folder named by QUENMOOR_BENCH_FOLDER,
// or "bench-files" in the current folder; it should be on the disk whose speed is of interest.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "bench/benchmarks.h"
#include "bench/peak_memory.h"

namespace {

std::filesystem::path BenchFolder() {
    // Read once, before any thread exists.
    const char* folder = std::getenv("QUENMOOR_BENCH_FOLDER");  // NOLINT(concurrency-mt-unsafe)
    // Absolute: Windows looks for a profile named without a full path in its own folder.
    return std::filesystem::absolute(folder != nullptr && *folder != '\0'
                                         ? std::filesystem::path(folder)
                                         : std::filesystem::path("bench-files"));
}

}  // namespace

namespace quenmoor::bench {

void RegisterBaselineBenchmark() {
    benchmark::RegisterBenchmark("Baseline/idle", [](benchmark::State& state) {
        for (auto _ : state) {
            benchmark::ClobberMemory();
        }
        state.counters["peak_rss_bytes"] = static_cast<double>(PeakResidentBytes());
    })->Iterations(1);
}

}  // namespace quenmoor::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const std::filesystem::path root = BenchFolder();
    benchmark::AddCustomContext("profile_functions", QUENMOOR_PROFILE_LAYER);
    benchmark::AddCustomContext("bench_folder", root.string());
    quenmoor::bench::RegisterBaselineBenchmark();
    quenmoor::bench::RegisterFloorBenchmarks(root);
    quenmoor::bench::RegisterProfileFunctionBenchmarks(root);
    quenmoor::bench::RegisterRunUpdateBenchmarks(root);
    quenmoor::bench::RegisterProcessBenchmarks(root);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The program as a user runs it: started as a process at its real (mapped) paths, from start to
// exit, next to the floor started as a process too, taking turns. The program's C:\ is a
// symbolic link that each iteration points at a folder of its own.
#include <chrono>
#include <string>
#include <vector>

#include "bench/benchmarks.h"
#include "bench/linux/process.h"
#include "bench/profile_scene.h"

namespace quenmoor::bench {
namespace {

const std::filesystem::path Program = QUENMOOR_BENCH_PROGRAM;
const std::filesystem::path Floor = QUENMOOR_BENCH_FLOOR;
const std::filesystem::path Empty = QUENMOOR_BENCH_EMPTY;
const std::filesystem::path DriveRoot = QUENMOOR_BENCH_DRIVE_ROOT;

RunFiles ProgramLayout(const std::filesystem::path& runFolder) {
    const std::filesystem::path base = runFolder / "Ostrel" / "Tessarin";
    return {base / "Palvendo" / "Suporte" / "Quenmoor.ini", base / "Programs" / "Quenmoor.ini"};
}

double SecondsToRun(const std::vector<std::string>& arguments) {
    const auto start = std::chrono::steady_clock::now();
    RunProcess(arguments);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string_view Label(ProfileAge age) { return age == ProfileAge::Fresh ? "fresh" : "settled"; }

// Iteration `iteration`'s files, freshly written when the case asks for it, behind C:\.
void StageIteration(const ProfileScene& scene, std::size_t iteration, ProfileAge age) {
    if (age == ProfileAge::Fresh) {
        scene.Rewrite(iteration);
    }
    PointLinkAt(DriveRoot, scene.RunFolder(iteration));
}

// The links-current run (one version write, the copy) against the floor, iteration by iteration.
void TimeRunAgainstFloor(benchmark::State& state, const std::filesystem::path& root,
                         ProfileSize size, ProfileAge age) {
    ProfileScene scene(root, size, LinkState::Current, ProgramLayout);
    scene.Prepare(2 * static_cast<std::size_t>(state.max_iterations), age);
    const RunFiles behindDrive = ProgramLayout(DriveRoot);
    std::vector<double> seconds;
    std::vector<double> floorSeconds;
    std::vector<double> ratios;
    for (auto _ : state) {
        const std::size_t iteration = seconds.size();
        const auto program = [&] {
            StageIteration(scene, 2 * iteration, age);
            seconds.push_back(SecondsToRun({Program}));
        };
        const auto floor = [&] {
            StageIteration(scene, (2 * iteration) + 1, age);
            floorSeconds.push_back(SecondsToRun({Floor, behindDrive.source, behindDrive.target}));
        };
        if (iteration % 2 == 1) {
            floor();
            program();
        } else {
            program();
            floor();
        }
        ratios.push_back(seconds.back() / floorSeconds.back());
        state.SetIterationTime(seconds.back());
    }
    if (!std::filesystem::exists(scene.Files(2 * (seconds.size() - 1)).target)) {
        state.SkipWithError("the program made no copy");
        return;
    }
    ReportCaseCounters(state, scene, seconds);
    state.counters["floor_median_ms"] = 1000 * Median(floorSeconds);
    state.counters["floor_ratio"] = Median(ratios);
}

// The program where no profile exists (it stops after the existence test) against a program
// that does nothing at all: what the program's start-up costs beyond any process's.
void TimeStartUp(benchmark::State& state, const std::filesystem::path& root) {
    const std::filesystem::path nothing = root / "no-profile";
    std::filesystem::create_directories(nothing);
    PointLinkAt(DriveRoot, nothing);
    std::vector<double> seconds;
    std::vector<double> emptySeconds;
    std::vector<double> extra;
    for (auto _ : state) {
        if (seconds.size() % 2 == 1) {
            emptySeconds.push_back(SecondsToRun({Empty}));
            seconds.push_back(SecondsToRun({Program}));
        } else {
            seconds.push_back(SecondsToRun({Program}));
            emptySeconds.push_back(SecondsToRun({Empty}));
        }
        extra.push_back(seconds.back() - emptySeconds.back());
        state.SetIterationTime(seconds.back());
    }
    state.counters["median_ms"] = 1000 * Median(seconds);
    state.counters["empty_median_ms"] = 1000 * Median(emptySeconds);
    state.counters["extra_ms"] = 1000 * Median(extra);
}

}  // namespace

void RegisterProcessBenchmarks(const std::filesystem::path& root) {
    for (const ProfileSize size : {ProfileSize::Reference, ProfileSize::OneMegabyte}) {
        for (const ProfileAge age : {ProfileAge::Fresh, ProfileAge::Settled}) {
            const std::string name = "Process/" + std::string(Label(size)) + "/current-" +
                                     std::string(Label(age)) + "-vs-floor";
            benchmark::RegisterBenchmark(name.c_str(),
                                         [root, size, age](benchmark::State& state) {
                                             TimeRunAgainstFloor(state, root, size, age);
                                         })
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(IterationsFor(size, false));
        }
    }
    benchmark::RegisterBenchmark("Process/startup-vs-empty",
                                 [root](benchmark::State& state) { TimeStartUp(state, root); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(51);
}

}  // namespace quenmoor::bench

// The files one benchmark case works on, and the timed loop that starts every iteration from
// the same state of them.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_profile.h"
#include "bench/peak_memory.h"

namespace quenmoor::bench {

// The profile one iteration works on and where its run copies it.
struct RunFiles {
    std::filesystem::path source;
    std::filesystem::path target;

    [[nodiscard]] std::u16string SourceName() const { return source.u16string(); }
    [[nodiscard]] std::u16string TargetName() const { return target.u16string(); }
};

// Where an iteration's profile and copy lie inside the iteration's own folder.
using RunLayout = RunFiles (*)(const std::filesystem::path& runFolder);

// `runFolder`/Suporte/Quenmoor.ini, copied to `runFolder`/Programs/Quenmoor.ini.
RunFiles ShortLayout(const std::filesystem::path& runFolder);

// How long before a run its profile was last written.
enum class ProfileAge {
    Settled,  // long before, as a profile in daily use
    Fresh,    // just before: the support application has only now saved it
};

class ProfileScene {
  public:
    // Generates the profile under `root`/<size>-<state>/ and keeps it there untouched.
    ProfileScene(const std::filesystem::path& root, ProfileSize size, LinkState state,
                 RunLayout layout = ShortLayout);

    [[nodiscard]] std::uintmax_t Bytes() const { return bytes_; }

    // Gives each of `count` iterations its own copy of the generated profile, flushed to disk,
    // with nothing at its target; then waits until the copies are older than a file-system time
    // stamp tick can be (two seconds, on FAT). In real use a profile was last changed well before
    // a run starts; every iteration starts from that same state.
    // For fresh profiles nothing waits; call Rewrite right before each iteration instead.
    void Prepare(std::size_t count, ProfileAge age = ProfileAge::Settled);
    [[nodiscard]] const RunFiles& Files(std::size_t iteration) const { return runs_.at(iteration); }
    [[nodiscard]] std::filesystem::path RunFolder(std::size_t iteration) const;

    // Writes iteration `iteration`'s copy anew (flushed), so it is as young as can be.
    void Rewrite(std::size_t iteration) const;

  private:
    std::filesystem::path folder_;
    std::filesystem::path pristine_;
    RunLayout layout_;
    std::uintmax_t bytes_ = 0;
    std::vector<RunFiles> runs_;
};

// The middle value (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> values);

// Seconds `work` takes on `files`.
template <typename Work>
double SecondsFor(Work& work, const RunFiles& files) {
    const auto start = std::chrono::steady_clock::now();
    work(files);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The counters every case reports, `seconds` being its iteration times.
void ReportCaseCounters(benchmark::State& state, const ProfileScene& scene,
                        const std::vector<double>& seconds);

// Runs `body` on the files of each iteration, timing only `body`. Besides Google Benchmark's
// mean, the median iteration is reported ("median_ms"): it is less swayed by other work on the
// machine. Returns the files of the last iteration.
template <typename Body>
const RunFiles& TimeEachIteration(benchmark::State& state, ProfileScene& scene, Body&& body) {
    scene.Prepare(static_cast<std::size_t>(state.max_iterations));
    std::vector<double> seconds;
    for (auto _ : state) {
        seconds.push_back(SecondsFor(body, scene.Files(seconds.size())));
        state.SetIterationTime(seconds.back());
    }
    ReportCaseCounters(state, scene, seconds);
    return scene.Files(seconds.size() - 1);
}

// Runs `body` and `floor` on each iteration, each on a copy of its own, one right after the
// other (taking turns at going first), and times both; only `body` is the iteration's time. Flush
// times on a shared disk drift between two measurements made minutes apart, but hardly within
// one iteration, so the median of the per-iteration ratios ("floor_ratio") compares the two under
// the same conditions; the floor's median is "floor_median_ms". Returns the files `body` worked
// on in the last iteration.
template <typename Body, typename Floor>
const RunFiles& TimePairedWithFloor(benchmark::State& state, ProfileScene& scene, Body&& body,
                                    Floor&& floor) {
    scene.Prepare(2 * static_cast<std::size_t>(state.max_iterations));
    std::vector<double> seconds;
    std::vector<double> floorSeconds;
    std::vector<double> ratios;
    for (auto _ : state) {
        const std::size_t iteration = seconds.size();
        const RunFiles& own = scene.Files(2 * iteration);
        const RunFiles& floorFiles = scene.Files((2 * iteration) + 1);
        if (iteration % 2 == 1) {
            floorSeconds.push_back(SecondsFor(floor, floorFiles));
            seconds.push_back(SecondsFor(body, own));
        } else {
            seconds.push_back(SecondsFor(body, own));
            floorSeconds.push_back(SecondsFor(floor, floorFiles));
        }
        ratios.push_back(seconds.back() / floorSeconds.back());
        state.SetIterationTime(seconds.back());
    }
    ReportCaseCounters(state, scene, seconds);
    state.counters["floor_median_ms"] = 1000 * Median(floorSeconds);
    state.counters["floor_ratio"] = Median(ratios);
    return scene.Files(2 * (seconds.size() - 1));
}

// How many iterations a case on a profile of `size` runs. Each one needs its own prepared copy
// of the profile, so the counts are fixed rather than found by Google Benchmark. The first
// iterations of a process also pay for memory the process touches for the first time, so every
// size gets enough iterations for the median to be a steady one; only the runs that rewrite all
// 202 links of a large profile, which take seconds each, get fewer.
benchmark::IterationCount IterationsFor(ProfileSize size, bool writesEveryLink);

}  // namespace quenmoor::bench

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

class ProfileScene {
  public:
    // Generates the profile under `root`/<size>-<state>/ and keeps it there untouched.
    ProfileScene(const std::filesystem::path& root, ProfileSize size, LinkState state);

    [[nodiscard]] std::uintmax_t Bytes() const { return bytes_; }

    // Gives each of `count` iterations its own copy of the generated profile, flushed to disk,
    // with nothing at its target; then waits until the copies are older than a file-system time
    // stamp tick can be (two seconds, on FAT). In real use a profile was last changed well before
    // a run starts; every iteration starts from that same state.
    void Prepare(std::size_t count);
    [[nodiscard]] const RunFiles& Files(std::size_t iteration) const { return runs_.at(iteration); }

  private:
    std::filesystem::path folder_;
    std::filesystem::path pristine_;
    std::uintmax_t bytes_ = 0;
    std::vector<RunFiles> runs_;
};

// The middle value (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> values);

// Runs `body` on the files of each iteration, timing only `body`. Besides Google Benchmark's
// mean, the median iteration is reported ("median_ms"): it is less swayed by other work on the
// machine.
template <typename Body>
void TimeEachIteration(benchmark::State& state, ProfileScene& scene, Body&& body) {
    scene.Prepare(static_cast<std::size_t>(state.max_iterations));
    std::vector<double> seconds;
    for (auto _ : state) {
        const RunFiles& files = scene.Files(seconds.size());
        const auto start = std::chrono::steady_clock::now();
        body(files);
        const auto stop = std::chrono::steady_clock::now();
        seconds.push_back(std::chrono::duration<double>(stop - start).count());
        state.SetIterationTime(seconds.back());
    }
    state.counters["bytes"] = static_cast<double>(scene.Bytes());
    state.counters["median_ms"] = 1000 * Median(seconds);
    state.counters["peak_rss_bytes"] = static_cast<double>(PeakResidentBytes());
}

// How many iterations a case on a profile of `size` runs. Each one needs its own prepared copy
// of the profile, so the counts are fixed rather than found by Google Benchmark. The first
// iterations of a process also pay for memory the process touches for the first time, so every
// size gets enough iterations for the median to be a steady one; only the runs that rewrite all
// 202 links of a large profile, which take seconds each, get fewer.
benchmark::IterationCount IterationsFor(ProfileSize size, bool writesEveryLink);

}  // namespace quenmoor::bench

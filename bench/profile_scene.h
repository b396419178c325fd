// The files one benchmark case works on, and the timed loop that starts every iteration from
// the same state of them.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "bench/bench_profile.h"

namespace quenmoor::bench {

class ProfileScene {
  public:
    // Generates the profile under `root`/<size>-<state>/ and keeps it there untouched.
    ProfileScene(const std::filesystem::path& root, ProfileSize size, LinkState state);

    // The profile the case reads and changes, and where the run copies it.
    [[nodiscard]] const std::filesystem::path& Source() const { return source_; }
    [[nodiscard]] const std::filesystem::path& Target() const { return target_; }
    [[nodiscard]] std::u16string SourceName() const { return source_.u16string(); }
    [[nodiscard]] std::u16string TargetName() const { return target_.u16string(); }
    [[nodiscard]] std::uintmax_t Bytes() const { return bytes_; }

    // Puts the generated profile back at Source() and removes any copy at Target(), both on
    // disk, then waits a moment: in real use the profile was last changed well before a run,
    // not within the same tick of the file system's clock.
    void Reset() const;

  private:
    std::filesystem::path pristine_;
    std::filesystem::path source_;
    std::filesystem::path target_;
    std::uintmax_t bytes_ = 0;
};

// Runs `body` once per iteration, timing only `body`: every iteration starts from Reset().
template <typename Body>
void TimeEachIteration(benchmark::State& state, const ProfileScene& scene, Body&& body) {
    for (auto _ : state) {
        scene.Reset();
        const auto start = std::chrono::steady_clock::now();
        body();
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    state.counters["bytes"] = static_cast<double>(scene.Bytes());
}

// How many iterations a case on a profile of `size` runs: every iteration pays for a reset
// outside the timed region, so the counts are fixed rather than found by Google Benchmark.
benchmark::IterationCount IterationsFor(ProfileSize size);

}  // namespace quenmoor::bench

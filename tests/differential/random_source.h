// A seeded random source that gives the same numbers with every compiler and C library, so the
// Windows driver and its native twin agree on what a seed means.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quenmoor::differential {

class RandomSource {
  public:
    explicit RandomSource(std::uint64_t seed) : state_(seed) {}

    // splitmix64: tiny, fast and well mixed; std::uniform_int_distribution is not portable.
    std::uint64_t Next() {
        state_ += 0x9E3779B97F4A7C15U;
        std::uint64_t mixed = state_;
        mixed = (mixed ^ (mixed >> 30U)) * 0xBF58476D1CE4E5B9U;
        mixed = (mixed ^ (mixed >> 27U)) * 0x94D049BB133111EBU;
        return mixed ^ (mixed >> 31U);
    }

    // A number in [0, bound); bound > 0. The slight bias of a plain modulo does not matter here.
    std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(Next() % bound); }

    // True with the chance `percent` in 100.
    bool Chance(unsigned percent) { return Below(100) < percent; }

    // One element of a non-empty array or vector.
    template <typename Choices>
    const auto& Pick(const Choices& choices) {
        return choices[Below(choices.size())];
    }

  private:
    std::uint64_t state_;
};

}  // namespace quenmoor::differential

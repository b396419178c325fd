// Random profiles and random sequences of reads and writes on them, from a seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "differential/batch.h"

namespace quenmoor::differential {

// `count` sequences; the same seed always gives the same batch, on every platform.
std::vector<Sequence> GenerateBatch(std::uint64_t seed, std::size_t count);

}  // namespace quenmoor::differential

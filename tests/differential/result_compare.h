// Compares the result files of two runs of one batch and explains each disagreement.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <vector>

#include "differential/batch.h"

namespace quenmoor::differential {

struct Comparison {
    std::size_t sequences = 0;  // sequences whose results were compared
    std::size_t differing = 0;  // of those, how many disagree
};

// Reads both result files whole; a sequence missing from either counts as differing. The first
// `reportLimit` disagreements are described on `report` with the sequence that caused them.
Comparison CompareResults(const std::vector<Sequence>& batch, std::istream& expected,
                          std::istream& actual, std::ostream& report, std::size_t reportLimit);

}  // namespace quenmoor::differential

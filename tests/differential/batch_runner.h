// Applies a batch of sequences through the platform's profile functions and writes down every
// answer, so that two platforms' answers can be compared line by line.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "differential/batch.h"

namespace quenmoor::differential {

// Called after every write with the file's bytes before and after it (nothing for no file) and
// whether the write reported success; returns what is wrong, or nothing.
using WriteCheck = std::function<std::optional<std::string>(
    const Operation& op, bool written, const std::optional<std::string>& before,
    const std::optional<std::string>& after)>;

// Runs every sequence on its own profile in `folder` (an ASCII path in the platform's form) and
// writes the results to `results`. Problems that are not answers to compare (a failed check, a
// file left behind) go to `problems`; returns how many there were.
std::size_t RunBatch(const std::vector<Sequence>& batch, const std::string& folder,
                     std::ostream& results, std::ostream& problems, const WriteCheck& check);

}  // namespace quenmoor::differential

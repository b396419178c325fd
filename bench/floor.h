// The floor of the update run: what any run with the same guarantees has to do, written with
// plain OS calls and nothing else.
#pragma once

#include <filesystem>

namespace quenmoor::bench {

// Reads `source` once; replaces it durably and atomically with those bytes (a temporary file
// beside it, flushed to disk, renamed over it); then copies it to `target`, which must not exist.
// Throws on failure.
void RunFloor(const std::filesystem::path& source, const std::filesystem::path& target);

}  // namespace quenmoor::bench

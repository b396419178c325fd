// What a folder holds, for tests that prove a change left nothing behind (no temporary file, no
// stray copy).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quenmoor::test {

// The names of the entries of `folder`, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

}  // namespace quenmoor::test

// Marks a file read-only the platform's way, for tests of refused writes.
#pragma once

#include <filesystem>

namespace quenmoor::test {

// Makes `path` read-only. Returns false when the platform then still lets a writer open it (Wine
// running as root ignores the read-only attribute), so a test of refused writes cannot run there.
bool MakeReadOnly(const std::filesystem::path& path);

}  // namespace quenmoor::test

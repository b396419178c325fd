// Whole-file reads and writes for setting up and checking profiles byte for byte.
#pragma once

#include <filesystem>
#include <string>

namespace quenmoor::test {

void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
// The file's bytes; throws when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

}  // namespace quenmoor::test

// Putting benchmark files into a known state between iterations, outside the timed region.
#pragma once

#include <filesystem>

namespace quenmoor::bench {

// Overwrites `to` in place with the bytes of `from` and flushes it to disk. Throws on failure.
void RestoreFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes `path` when something is there and makes the removal durable. Throws on failure.
void RemoveFile(const std::filesystem::path& path);

}  // namespace quenmoor::bench

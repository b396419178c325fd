// POSIX file calls for the benchmarks' setup and floor: any failure throws, so a benchmark never
// times a run over a file it failed to prepare.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quenmoor::bench {

// Throws std::system_error with errno unless `ok`.
void Check(bool ok, const std::string& what);

void WriteWhole(int fd, std::string_view bytes, const std::filesystem::path& path);

// Makes the folder's entries durable.
void SyncFolder(const std::filesystem::path& folder);

// Copies `source` to `target`, opened with `openFlags` (besides O_WRONLY | O_CREAT), then flushes
// the copy and its folder to disk.
void CopyDurably(const std::filesystem::path& source, const std::filesystem::path& target,
                 int openFlags);

}  // namespace quenmoor::bench

// Reading a whole regular file as it is on disk at this moment, and loading a profile that is
// about to be changed, with the checks that must pass first.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

namespace quenmoor::platform::posix {

enum class ReadStatus {
    Read,        // `bytes` and `info` hold the file
    Missing,     // nothing at the path (or a folder on the way is missing)
    NotRegular,  // a folder, FIFO, device or socket: never read, never waited on
    Failed,      // it exists but could not be opened or read
};

struct FileContents {
    ReadStatus status = ReadStatus::Failed;
    std::string bytes;
    struct stat info = {};  // from the descriptor the bytes were read through
};

// Opens `path` without blocking and without becoming its controlling terminal, checks that it
// is a regular file and reads it to the end. With `followLink` false a symbolic link at the path
// counts as Failed (the caller resolved links itself and something changed under it).
FileContents ReadRegularFile(const std::string& path, bool followLink);

struct ProfileForUpdate {
    // Where the file really is: a symbolic link is followed to its target, which is what gets
    // replaced, so the link stays a link.
    std::string path;
    std::string bytes;
    // The file's status when it exists; nothing for a profile that is still to be created.
    std::optional<struct stat> info;
};

// Nothing when the profile must not be changed: the path cannot be resolved, something other
// than a regular file is there, it cannot be read, it has no write permission bit at all (the
// read-only attribute, refused even for root), or the caller may not write it.
std::optional<ProfileForUpdate> LoadProfileForUpdate(const std::string& path);

// The same for a profile whose `bytes` and `info` were read through `path` (links followed) and
// provably still are the file's, as the read cache's copy: no second read. Falls back to reading
// when the path no longer leads to that very file.
std::optional<ProfileForUpdate> LoadProfileForUpdate(const std::string& path, std::string bytes,
                                                     const struct stat& info);

}  // namespace quenmoor::platform::posix

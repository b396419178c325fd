// Reading a whole regular file as it is on disk at this moment.
#pragma once

#include <sys/stat.h>

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

}  // namespace quenmoor::platform::posix

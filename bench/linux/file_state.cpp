#include "bench/file_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "bench/linux/checked_io.h"

namespace quenmoor::bench {

void RestoreFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    CopyDurably(from, to, O_TRUNC);
}

void RemoveFile(const std::filesystem::path& path) {
    if (::unlink(path.c_str()) != 0) {
        Check(errno == ENOENT, "remove " + path.string());
    }
    SyncFolder(path.parent_path());
}

}  // namespace quenmoor::bench

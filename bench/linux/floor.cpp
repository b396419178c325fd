// The floor with POSIX calls. The copy is made durable too (flushed, its folder synced), because
// the program's own copy on POSIX is.
#include "bench/floor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "bench/linux/checked_io.h"
#include "platform/linux/fs/unique_fd.h"

namespace quenmoor::bench {
namespace {

using platform::posix::UniqueFd;

std::string ReadWhole(const std::filesystem::path& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    Check(fd.Valid() && ::fstat(fd.Get(), &info) == 0, "open " + path.string());
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t used = 0;
    while (used < bytes.size()) {
        const ssize_t got = ::read(fd.Get(), bytes.data() + used, bytes.size() - used);
        Check(got > 0, "read " + path.string());
        used += static_cast<std::size_t>(got);
    }
    return bytes;
}

UniqueFd CreateNew(const std::filesystem::path& path) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    Check(fd.Valid(), "create " + path.string());
    return fd;
}

void ReplaceDurably(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path temporary = path;
    temporary += ".floor";
    UniqueFd fd = CreateNew(temporary);
    WriteWhole(fd.Get(), bytes, temporary);
    Check(::fsync(fd.Get()) == 0 && fd.Close(), "flush " + temporary.string());
    Check(::rename(temporary.c_str(), path.c_str()) == 0, "rename " + temporary.string());
    SyncFolder(path.parent_path());
}

}  // namespace

void RunFloor(const std::filesystem::path& source, const std::filesystem::path& target) {
    const std::string bytes = ReadWhole(source);
    ReplaceDurably(source, bytes);
    CopyDurably(source, target, O_EXCL);
}

}  // namespace quenmoor::bench

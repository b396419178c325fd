// The floor with POSIX calls. The copy is made durable too (flushed, its folder synced), because
// the program's own copy on POSIX is.
#include "bench/floor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>
#include <system_error>

#include "platform/posix/unique_fd.h"

namespace quenmoor::bench {
namespace {

using platform::posix::UniqueFd;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::system_error(errno, std::generic_category(), what);
    }
}

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

void WriteWhole(int fd, std::string_view bytes, const std::filesystem::path& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        Check(written > 0, "write " + path.string());
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void SyncFolder(const std::filesystem::path& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Check(fd.Valid() && ::fsync(fd.Get()) == 0, "sync " + folder.string());
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

void CopyDurably(const std::filesystem::path& source, const std::filesystem::path& target) {
    const UniqueFd input(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    Check(input.Valid(), "open " + source.string());
    UniqueFd output = CreateNew(target);
    std::array<char, std::size_t{1} << 16U> chunk{};
    for (;;) {
        const ssize_t got = ::read(input.Get(), chunk.data(), chunk.size());
        Check(got >= 0, "read " + source.string());
        if (got == 0) {
            break;
        }
        WriteWhole(output.Get(), {chunk.data(), static_cast<std::size_t>(got)}, target);
    }
    Check(::fsync(output.Get()) == 0 && output.Close(), "flush " + target.string());
    SyncFolder(target.parent_path());
}

}  // namespace

void RunFloor(const std::filesystem::path& source, const std::filesystem::path& target) {
    const std::string bytes = ReadWhole(source);
    ReplaceDurably(source, bytes);
    CopyDurably(source, target);
}

}  // namespace quenmoor::bench

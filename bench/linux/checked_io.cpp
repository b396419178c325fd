#include "bench/linux/checked_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "platform/linux/fs/unique_fd.h"

namespace quenmoor::bench {

using platform::posix::UniqueFd;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::system_error(errno, std::generic_category(), what);
    }
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

void CopyDurably(const std::filesystem::path& source, const std::filesystem::path& target,
                 int openFlags) {
    const UniqueFd input(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    Check(input.Valid(), "open " + source.string());
    UniqueFd output(::open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | openFlags, 0644));
    Check(output.Valid(), "create " + target.string());
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

}  // namespace quenmoor::bench

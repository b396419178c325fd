#include "bench/file_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
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

void SyncFolder(const std::filesystem::path& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Check(fd.Valid() && ::fsync(fd.Get()) == 0, "sync " + folder.string());
}

}  // namespace

void RestoreFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    const UniqueFd input(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    Check(input.Valid(), "open " + from.string());
    UniqueFd output(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    Check(output.Valid(), "open " + to.string());
    std::array<char, std::size_t{1} << 16U> chunk{};
    for (;;) {
        const ssize_t got = ::read(input.Get(), chunk.data(), chunk.size());
        Check(got >= 0, "read " + from.string());
        if (got == 0) {
            break;
        }
        Check(::write(output.Get(), chunk.data(), static_cast<std::size_t>(got)) == got,
              "write " + to.string());
    }
    Check(::fsync(output.Get()) == 0 && output.Close(), "flush " + to.string());
    SyncFolder(to.parent_path());
}

void RemoveFile(const std::filesystem::path& path) {
    if (::unlink(path.c_str()) != 0) {
        Check(errno == ENOENT, "remove " + path.string());
    }
    SyncFolder(path.parent_path());
}

}  // namespace quenmoor::bench

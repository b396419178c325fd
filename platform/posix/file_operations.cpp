#include "platform/file_operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/posix/native_path.h"
#include "platform/posix/temporary_file.h"
#include "platform/posix/unique_fd.h"

namespace quenmoor::platform {
namespace {

using posix::UniqueFd;

// Opens a regular file for reading. O_NONBLOCK keeps a FIFO put in its place from stalling the
// open; anything that is not a regular file is closed again unread.
UniqueFd OpenRegularFile(const std::string& path, struct stat& info) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {};
    }
    return fd;
}

bool CopyContents(int from, posix::TemporaryFile& to) {
    constexpr std::size_t ChunkSize = 1U << 16U;
    std::array<char, ChunkSize> chunk{};
    for (;;) {
        const ssize_t got = ::read(from, chunk.data(), chunk.size());
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (!to.Write({chunk.data(), static_cast<std::size_t>(got)})) {
            return false;
        }
    }
}

}  // namespace

bool FileExists(const std::u16string& path) {
    const auto native = posix::NativePath(path);
    // stat() follows links, so a link counts by what it leads to and a dangling link not at all.
    // Nothing is opened: a FIFO or device could block.
    struct stat info {};
    return native && ::stat(native->c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CopyFileNoOverwrite(const std::u16string& source, const std::u16string& target) {
    const auto from = posix::NativePath(source);
    const auto to = posix::NativePath(target);
    if (!from || !to) {
        return false;
    }
    struct stat info {};
    const UniqueFd input = OpenRegularFile(*from, info);
    if (!input.Valid()) {
        return false;
    }
    const std::string folder = posix::FolderOf(*to);
    auto copy = posix::TemporaryFile::CreateBeside(folder, posix::NameOf(*to));
    // The copy is complete and on disk before it gets the target name, and it gets that name only
    // if nothing has taken it in the meantime.
    return copy && CopyContents(input.Get(), *copy) &&
           copy->Finish(info.st_mode, std::nullopt, std::nullopt) && copy->RenameIfFree(*to) &&
           posix::SyncFolder(folder);
}

}  // namespace quenmoor::platform

#include "platform/linux/fs/read_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include "platform/linux/fs/unique_fd.h"

namespace quenmoor::platform::posix {

FileContents ReadRegularFile(const std::string& path, bool followLink) {
    FileContents contents;
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
    const UniqueFd fd(::open(path.c_str(), flags));
    if (!fd.Valid()) {
        contents.status =
            errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Failed;
        return contents;
    }
    if (::fstat(fd.Get(), &contents.info) != 0) {
        return contents;
    }
    if (!S_ISREG(contents.info.st_mode)) {
        contents.status = ReadStatus::NotRegular;
        return contents;
    }

    // Room for the size fstat saw plus one byte, so the usual read ends without growing; a file
    // that grows meanwhile is still read to its end.
    constexpr std::size_t MinimumGrowth = std::size_t{64} * 1024;
    std::string& bytes = contents.bytes;
    bytes.resize(static_cast<std::size_t>(std::max<off_t>(contents.info.st_size, 0)) + 1);
    std::size_t used = 0;
    while (true) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() + std::max(bytes.size() / 2, MinimumGrowth));
        }
        const ssize_t count = ::read(fd.Get(), bytes.data() + used, bytes.size() - used);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            bytes.clear();
            return contents;
        }
        if (count == 0) {
            break;
        }
        used += static_cast<std::size_t>(count);
    }
    bytes.resize(used);
    contents.status = ReadStatus::Read;
    return contents;
}

}  // namespace quenmoor::platform::posix

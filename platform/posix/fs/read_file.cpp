#include "platform/posix/fs/read_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/posix/fs/unique_fd.h"

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

namespace {

// The path with a final symbolic link resolved; nothing for a dangling link, whose target
// folder cannot be trusted to be the one the administrator meant.
std::optional<std::string> ResolveLink(const std::string& path) {
    struct stat info = {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? std::optional(path) : std::nullopt;
    }
    if (!S_ISLNK(info.st_mode)) {
        return path;
    }
    const std::unique_ptr<char, decltype(&std::free)> target(::realpath(path.c_str(), nullptr),
                                                             &std::free);
    if (!target) {
        return std::nullopt;
    }
    return std::string(target.get());
}

bool MayWrite(const std::string& path, const struct stat& info) {
    constexpr mode_t AnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
    return (info.st_mode & AnyWriteBit) != 0 &&
           ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

std::optional<ProfileForUpdate> LoadProfileForUpdate(const std::string& path) {
    auto resolved = ResolveLink(path);
    if (!resolved) {
        return std::nullopt;
    }
    FileContents file = ReadRegularFile(*resolved, false);
    switch (file.status) {
        case ReadStatus::Missing:
            return ProfileForUpdate{std::move(*resolved), {}, std::nullopt};
        case ReadStatus::Read:
            if (!MayWrite(*resolved, file.info)) {
                return std::nullopt;
            }
            return ProfileForUpdate{std::move(*resolved), std::move(file.bytes), file.info};
        case ReadStatus::NotRegular:
        case ReadStatus::Failed:
            break;
    }
    return std::nullopt;
}

std::optional<ProfileForUpdate> LoadProfileForUpdate(const std::string& path, std::string bytes,
                                                     const struct stat& info) {
    auto resolved = ResolveLink(path);
    struct stat now = {};
    if (!resolved || ::lstat(resolved->c_str(), &now) != 0 || !S_ISREG(now.st_mode) ||
        now.st_dev != info.st_dev || now.st_ino != info.st_ino) {
        return LoadProfileForUpdate(path);
    }
    if (!MayWrite(*resolved, info)) {
        return std::nullopt;
    }
    return ProfileForUpdate{std::move(*resolved), std::move(bytes), info};
}

}  // namespace quenmoor::platform::posix

#include "platform/linux/profile_for_update.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/linux/fs/read_file.h"

namespace quenmoor::platform::posix {
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

#include "platform/posix/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/stale_temporaries.h"

namespace quenmoor::platform::posix {

std::optional<TemporaryFile> TemporaryFile::CreateBeside(const std::string& folder,
                                                         std::string_view name) {
    RemoveStaleTemporaries(folder, name);
    std::string path = folder + "/" + TemporaryNameTemplate(name, ::getpid());
    UniqueFd fd(::mkostemp(path.data(), O_CLOEXEC));
    if (!fd.Valid()) {
        return std::nullopt;
    }
    return TemporaryFile(std::move(fd), std::move(path));
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : fd_(std::move(other.fd_)), path_(std::move(other.path_)) {
    other.path_.clear();
}

TemporaryFile::~TemporaryFile() {
    fd_.Reset();
    if (!path_.empty()) {
        ::unlink(path_.c_str());
    }
}

bool TemporaryFile::Write(std::string_view bytes) noexcept {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_.Get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        // No progress at all counts as a failure too, rather than a reason to spin.
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool TemporaryFile::Finish(mode_t mode, std::optional<uid_t> owner,
                           std::optional<gid_t> group) noexcept {
    struct stat info {};
    if (::fstat(fd_.Get(), &info) != 0) {
        return false;
    }
    const bool ownerDiffers = owner && *owner != info.st_uid;
    const bool groupDiffers = group && *group != info.st_gid;
    if ((ownerDiffers || groupDiffers) &&
        ::fchown(fd_.Get(), owner.value_or(static_cast<uid_t>(-1)),
                 group.value_or(static_cast<gid_t>(-1))) != 0) {
        return false;
    }
    // After fchown, which may clear set-id bits.
    if (::fchmod(fd_.Get(), mode & 07777U) != 0) {
        return false;
    }
    return ::fsync(fd_.Get()) == 0 && fd_.Close();
}

bool TemporaryFile::ReplaceTarget(const std::string& target) noexcept {
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        return false;
    }
    path_.clear();
    return true;
}

bool TemporaryFile::RenameIfFree(const std::string& target) noexcept {
    // Both ways refuse with EEXIST whatever is at the target, a dangling link included, so the
    // check for a free name and the naming are one atomic step. The rename is one change to the
    // folder instead of two; file systems without it get the link.
    if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        path_.clear();
        return true;
    }
    if ((errno != EINVAL && errno != ENOSYS) || ::link(path_.c_str(), target.c_str()) != 0) {
        return false;
    }
    ::unlink(path_.c_str());
    path_.clear();
    return true;
}

bool SyncFolder(const std::string& folder) noexcept {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Valid() && ::fsync(fd.Get()) == 0;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace quenmoor::platform::posix

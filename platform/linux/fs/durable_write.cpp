#include "platform/linux/fs/durable_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "platform/linux/fs/file_stamp.h"
#include "platform/linux/fs/path.h"
#include "platform/linux/fs/stale_temporaries.h"
#include "platform/linux/fs/unique_fd.h"

namespace quenmoor::platform::posix {
namespace {

// A new file under a unique hidden name beside the final one, removed again unless it was given
// its final name, so a failure never leaves a partial file at the name that matters, nor a
// stray temporary one.
class TemporaryFile {
  public:
    // Creates ".<name>.<pid>.XXXXXX" (mode 0600) in `folder` beside `name`, after removing the
    // ones that killed processes left there. Nothing when that fails.
    static std::optional<TemporaryFile> CreateBeside(const std::string& folder,
                                                     std::string_view name) {
        RemoveStaleTemporaries(folder, name);
        std::string path = folder + "/" + TemporaryNameTemplate(name, ::getpid());
        UniqueFd fd(::mkostemp(path.data(), O_CLOEXEC));
        if (!fd.Valid()) {
            return std::nullopt;
        }
        return TemporaryFile(std::move(fd), std::move(path));
    }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    TemporaryFile(TemporaryFile&& other) noexcept
        : fd_(std::move(other.fd_)), path_(std::move(other.path_)) {
        other.path_.clear();
    }
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    ~TemporaryFile() {
        fd_.Reset();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    // Writes all of `bytes` at the current position, retrying short writes and interruptions.
    bool Write(std::string_view bytes) noexcept {
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

    // Gives the file `mode` and, where they differ from ours, `owner` and `group`; then makes
    // its contents durable and closes it. False when any step fails.
    bool Finish(mode_t mode, std::optional<uid_t> owner, std::optional<gid_t> group) noexcept {
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

    // Moves the file over `target`, replacing whatever file is there, atomically.
    bool ReplaceTarget(const std::string& target) noexcept {
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            return false;
        }
        path_.clear();
        return true;
    }

    // Gives the file the name `target` only while that name is free: an existing file, folder
    // or link (dangling or not) at `target` is never touched.
    bool RenameIfFree(const std::string& target) noexcept {
        // Both ways refuse with EEXIST whatever is at the target, a dangling link included, so
        // the check for a free name and the naming are one atomic step. The rename is one change
        // to the folder instead of two; file systems without it get the link.
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

  private:
    TemporaryFile(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    UniqueFd fd_;
    std::string path_;  // empty once the file has its final name or is gone
};

// Read from /proc where possible: asking umask() means setting it for a moment, which other
// threads creating files could observe.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        constexpr std::string_view Label = "Umask:";
        if (!line.starts_with(Label)) {
            continue;
        }
        const auto digits = line.find_first_not_of(" \t", Label.size());
        unsigned int mask = 0;
        if (digits != std::string::npos &&
            std::from_chars(line.data() + digits, line.data() + line.size(), mask, 8).ec ==
                std::errc{}) {
            return static_cast<mode_t>(mask & 0777U);
        }
        break;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Whether the name still holds the file `previous` describes, unchanged: the stamp moves with
// every change, and nobody can set a change time back.
bool IsSameFile(const std::string& path, const struct stat& previous) {
    struct stat now = {};
    return ::lstat(path.c_str(), &now) == 0 && StampOf(now) == StampOf(previous);
}

// Makes a folder's entries (a rename, a new name) durable.
bool SyncFolder(const std::string& folder) noexcept {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Valid() && ::fsync(fd.Get()) == 0;
}

}  // namespace

bool WriteFileDurably(const std::string& path, std::span<const std::string_view> pieces,
                      const Placement& placement) {
    const std::string folder = FolderOf(path);
    auto temporary = TemporaryFile::CreateBeside(folder, NameOf(path));
    if (!temporary) {
        return false;
    }
    for (const std::string_view piece : pieces) {
        if (!temporary->Write(piece)) {
            return false;
        }
    }
    const bool replacing = placement.kind == Placement::Kind::Replace;
    const bool finished = replacing ? temporary->Finish(placement.mode, placement.previous->st_uid,
                                                        placement.previous->st_gid)
                                    : temporary->Finish(placement.mode, std::nullopt, std::nullopt);
    if (!finished) {
        return false;
    }
    if (replacing) {
        if (!IsSameFile(path, *placement.previous) || !temporary->ReplaceTarget(path)) {
            return false;
        }
    } else if (!temporary->RenameIfFree(path)) {
        return false;
    }
    // Until the folder is synced the new name may not survive a crash; the new contents are in
    // place then, but the write is not reported as done.
    return SyncFolder(folder);
}

mode_t NewFileMode() { return static_cast<mode_t>(0666U & ~CurrentUmask()); }

}  // namespace quenmoor::platform::posix

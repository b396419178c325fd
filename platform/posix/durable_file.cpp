#include "platform/posix/durable_file.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <optional>

#include "platform/posix/temporary_file.h"

namespace quenmoor::platform::posix {
namespace {

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

bool IsSameFile(const std::string& path, const struct stat& previous) {
    struct stat now = {};
    return ::lstat(path.c_str(), &now) == 0 && now.st_dev == previous.st_dev &&
           now.st_ino == previous.st_ino && now.st_size == previous.st_size &&
           now.st_mtim.tv_sec == previous.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == previous.st_mtim.tv_nsec &&
           // Nobody can set the change time back, unlike the modification time.
           now.st_ctim.tv_sec == previous.st_ctim.tv_sec &&
           now.st_ctim.tv_nsec == previous.st_ctim.tv_nsec;
}

}  // namespace

bool ReplaceFileDurably(const std::string& path, std::span<const std::string_view> pieces,
                        const struct stat* previous) {
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
    const bool finished =
        previous != nullptr
            ? temporary->Finish(previous->st_mode, previous->st_uid, previous->st_gid)
            : temporary->Finish(static_cast<mode_t>(0666U & ~CurrentUmask()), std::nullopt,
                                std::nullopt);
    if (!finished) {
        return false;
    }
    if (previous != nullptr) {
        if (!IsSameFile(path, *previous) || !temporary->ReplaceTarget(path)) {
            return false;
        }
    } else if (!temporary->RenameIfFree(path)) {
        return false;
    }
    // Until the folder is synced the new name may not survive a crash; the new contents are in
    // place then, but the write is not reported as done.
    return SyncFolder(folder);
}

}  // namespace quenmoor::platform::posix

#include "platform/posix/fs/file_watch.h"

#include <sys/inotify.h>
#include <sys/ioctl.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace quenmoor::platform::posix {
namespace {

// Every way the file's bytes or attributes can change. A truncation by open() or truncate()
// raises IN_MODIFY like a write does; chmod, chown, utimensat and link count changes IN_ATTRIB.
constexpr std::uint32_t FileEvents = IN_MODIFY | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF;

// Every way a folder can start to lead somewhere else: its entries (the next folder, the file,
// or a link among them) created, removed or renamed, or the folder itself moved or removed. Only
// events on the folder's own entries: asking for events of its children as well (IN_ATTRIB,
// IN_MODIFY) makes the kernel mark every child it knows of, which costs as much as the rest of a
// run on a folder with many entries.
constexpr std::uint32_t FolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                       IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR;

// Watches `path` and every folder above it; false when the kernel refuses one.
bool WatchFoldersOf(int fd, const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (::inotify_add_watch(fd, path.substr(0, slash).c_str(), FolderEvents) < 0) {
            return false;
        }
    }
    return path.starts_with('/') && ::inotify_add_watch(fd, "/", FolderEvents) >= 0;
}

}  // namespace

std::optional<FileWatch> FileWatch::Start(const std::string& path) {
    UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd.Valid() || !path.starts_with('/') || !WatchFoldersOf(fd.Get(), path)) {
        return std::nullopt;
    }
    // The folders a link on the way leads to are watched as well: a link's own folder tells
    // when the link is replaced, its target's folders when the target is.
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                               &std::free);
    if (!resolved || (resolved.get() != path && !WatchFoldersOf(fd.Get(), resolved.get())) ||
        ::inotify_add_watch(fd.Get(), path.c_str(), FileEvents) < 0) {
        return std::nullopt;
    }
    return FileWatch(std::move(fd));
}

bool FileWatch::Quiet() const {
    int pending = 0;
    return ::ioctl(fd_.Get(), FIONREAD, &pending) == 0 && pending == 0;
}

}  // namespace quenmoor::platform::posix

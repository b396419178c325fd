// Knowing, without looking at the file again, that nothing has touched it: a kernel watch on the
// file and on every folder on the way to it. The kernel queues an event as part of the call that
// makes the change, before that call returns to whoever made it, so once a change is complete its
// event is waiting, whatever the clocks and stamps say.
#pragma once

#include <optional>
#include <string>

#include "platform/posix/fs/unique_fd.h"

namespace quenmoor::platform::posix {

class FileWatch {
  public:
    // Starts watching the file at `path` (a final link followed) and every folder on the way to
    // it, both as written and with links resolved. Nothing when the kernel refuses (no inotify,
    // or the limit on watches reached); the caller then has to look at the file itself.
    static std::optional<FileWatch> Start(const std::string& path);

    // True while no event has arrived since Start: nothing has written to, truncated, resized,
    // chmod'ed, renamed or removed the file, and no entry of a folder on the way has been
    // created, removed or renamed, nor such a folder itself renamed or removed, so `path` still
    // names the same, unchanged file. One system call.
    [[nodiscard]] bool Quiet() const;

  private:
    explicit FileWatch(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

}  // namespace quenmoor::platform::posix

// A new file under a unique hidden name in a given folder, removed again unless it was given its
// final name. Whole-file writes go through one, so a failure never leaves a partial file at the
// name that matters, nor a stray temporary one.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/unique_fd.h"

namespace quenmoor::platform::posix {

class TemporaryFile {
  public:
    // Creates ".<name>.<pid>.XXXXXX" (mode 0600) in `folder` beside `name`, after removing the
    // ones that killed processes left there. Nothing when that fails.
    static std::optional<TemporaryFile> CreateBeside(const std::string& folder,
                                                     std::string_view name);

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    ~TemporaryFile();

    [[nodiscard]] int Fd() const noexcept { return fd_.Get(); }
    [[nodiscard]] const std::string& Path() const noexcept { return path_; }

    // Writes all of `bytes` at the current position, retrying short writes and interruptions.
    bool Write(std::string_view bytes) noexcept;
    // Gives the file `mode` and, where they differ from ours, `owner` and `group`; then makes
    // its contents durable and closes it. False when any step fails.
    bool Finish(mode_t mode, std::optional<uid_t> owner, std::optional<gid_t> group) noexcept;
    // Moves the file over `target`, replacing whatever file is there, atomically.
    bool ReplaceTarget(const std::string& target) noexcept;
    // Gives the file the name `target` only while that name is free: an existing file, folder
    // or link (dangling or not) at `target` is never touched.
    bool RenameIfFree(const std::string& target) noexcept;

  private:
    TemporaryFile(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    UniqueFd fd_;
    std::string path_;  // empty once the file has its final name or is gone
};

// Makes a folder's entries (a rename, a new name) durable.
bool SyncFolder(const std::string& folder) noexcept;

// The folder part and the name part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

}  // namespace quenmoor::platform::posix

// Replacing a file's contents so that the path always holds either the old or the new file,
// complete, and the new one is on disk when the call returns.
#pragma once

#include <sys/stat.h>

#include <span>
#include <string>
#include <string_view>

namespace quenmoor::platform::posix {

// Writes `pieces`, one after the other, to a new temporary file beside `path` and renames it over
// `path`.
//
// `previous` is what fstat said of the file being replaced: its permission bits, owner and group
// carry over (when the owner cannot be kept the call fails), and the rename is called off when
// the file at `path` is no longer that file, so a change another program made meanwhile is not
// overwritten. A null `previous` creates a new file with mode 0666 less the umask and never
// replaces anything that appeared at `path` meanwhile.
//
// False on any failure; the temporary file is then removed, and unless the final folder sync
// failed, `path` is untouched. `path` must not be a symbolic link: resolve it first.
bool ReplaceFileDurably(const std::string& path, std::span<const std::string_view> pieces,
                        const struct stat* previous);

}  // namespace quenmoor::platform::posix

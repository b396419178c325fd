// Whole-file operations the update run needs besides the profile functions.
#pragma once

#include <string>

namespace quenmoor::platform {

// True when `path` names an existing file (a link counts when it leads to one); false for a
// directory, a missing path or anything that cannot be confirmed to be a readable file.
bool FileExists(const std::u16string& path);

// True when the file at `path` can be read now: on POSIX, the whole file is read as the profile
// functions read it; on Windows, it is opened for reading (the widest sharing, closed at once).
// False when that is refused (no read permission, held by another program that shares no
// reading) or the path no longer leads to a file. Changes nothing.
bool FileIsReadable(const std::u16string& path);

// Copies `source` to `target` unless something already exists at `target`, which is never
// replaced. Returns true when the copy was made.
bool CopyFileNoOverwrite(const std::u16string& source, const std::u16string& target);

}  // namespace quenmoor::platform

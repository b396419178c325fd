// Whole-file operations the update run needs besides the profile functions.
#pragma once

#include <string>

namespace quenmoor::platform {

// True when `path` names an existing file (a link counts when it leads to one); false for a
// directory, a missing path or anything that cannot be confirmed to be a readable file.
bool FileExists(const std::u16string& path);

// Copies `source` to `target` unless something already exists at `target`, which is never
// replaced. Returns true when the copy was made.
bool CopyFileNoOverwrite(const std::u16string& source, const std::u16string& target);

}  // namespace quenmoor::platform

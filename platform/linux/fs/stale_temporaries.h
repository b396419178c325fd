// Temporary files that a killed process left behind.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::platform::posix {

// The name of a temporary file for `name` made by process `pid`, before mkostemp fills in the
// six X: ".<name>.<pid>.XXXXXX".
std::string TemporaryNameTemplate(std::string_view name, pid_t pid);

// The process that made `entry`, when `entry` is a temporary file name for `name`.
std::optional<pid_t> TemporaryFileOwner(std::string_view entry, std::string_view name);

// Removes the temporary files for `name` in `folder` whose process no longer runs: a process
// killed between creating one and giving it its final name cannot remove it itself. Files of
// running processes, and anything that is not a regular file, are left alone.
void RemoveStaleTemporaries(const std::string& folder, std::string_view name);

}  // namespace quenmoor::platform::posix

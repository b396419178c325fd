// Loading a profile that is about to be changed, with the checks that must pass first: the
// read-only rule (a file without any write permission bit is never changed, not even by root)
// and, for a copy kept from an earlier read, that the path still leads to that very file.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

namespace quenmoor::platform::posix {

struct ProfileForUpdate {
    // Where the file really is: a symbolic link is followed to its target, which is what gets
    // replaced, so the link stays a link.
    std::string path;
    std::string bytes;
    // The file's status when it exists; nothing for a profile that is still to be created.
    std::optional<struct stat> info;
};

// Nothing when the profile must not be changed: the path cannot be resolved, something other
// than a regular file is there, it cannot be read, it has no write permission bit at all (the
// read-only attribute, refused even for root), or the caller may not write it.
std::optional<ProfileForUpdate> LoadProfileForUpdate(const std::string& path);

// The same for a profile whose `bytes` and `info` were read through `path` (links followed) and
// provably still are the file's, as the read cache's copy: no second read. Falls back to reading
// when the path no longer leads to that very file.
std::optional<ProfileForUpdate> LoadProfileForUpdate(const std::string& path, std::string bytes,
                                                     const struct stat& info);

}  // namespace quenmoor::platform::posix

// The trust test of the run's two paths on POSIX, from the folder that stands for C:\ downwards,
// with that folder given so that tests can walk a layout of their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/fs/unique_fd.h"
#include "platform/path_trust.h"

namespace quenmoor::platform::posix {

struct TrustWalk {
    std::vector<UniqueFd> held;  // each entry opened on either path, in the order opened
    bool profileHeld = false;    // the profile is among them
    std::optional<TrustFault> fault;
};

// Tests the folders of `source` and `target` (paths "C:\...", C:\ standing for `driveRoot`) and
// the profile `source` as HeldPaths does. An entry passes when no one but root and the running
// user can change it or what it leads to: a folder that is no link, owned by one of them and
// writable by no one else; a profile that is a plain file with one name, owned by one of them.
TrustWalk WalkTrusted(std::string_view driveRoot, const std::u16string& source,
                      const std::u16string& target);

}  // namespace quenmoor::platform::posix

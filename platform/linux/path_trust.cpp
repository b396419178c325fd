#include "platform/path_trust.h"

#include <unistd.h>

#include "platform/linux/fs/path.h"
#include "platform/linux/trust_walk.h"

namespace quenmoor::platform {

// A held descriptor stops no rename or removal on POSIX; what keeps the paths as tested is the
// rule itself: in a chain of folders that no one but root and the running user may write, only
// they can rename or replace an entry.
struct HeldPaths::Handles {
    posix::TrustWalk walk;
};

HeldPaths::HeldPaths(const std::u16string& source, const std::u16string& target)
    : handles_(std::make_unique<Handles>(
          Handles{posix::WalkTrusted(posix::DriveFolder(), source, target)})),
      profileHeld_(handles_->walk.profileHeld),
      fault_(handles_->walk.fault) {}

HeldPaths::~HeldPaths() = default;

// Debian gives root and the accounts of daemons and services ids below 1000, and the first person
// 1000; it keeps 60000 to 65535 for system accounts too: its packages' fixed ones, nobody (65534)
// and systemd's dynamic service users. Under any of these the program runs for the machine.
bool RunsAsServiceIdentity() noexcept {
    const uid_t user = ::geteuid();
    return user < 1000 || (user >= 60000 && user <= 65535);
}

}  // namespace quenmoor::platform

// Who besides the trusted can change where the run's reads and writes land, told from open
// handles to the folders of the profile's and the copy's paths and to the profile itself, never
// from names; and the handles held for the rest of the run so that nothing on either path can
// be swapped after the test.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace quenmoor::platform {

// The first folder or file on the two paths that fails the trust test, and why.
struct TrustFault {
    std::u16string path;  // as the program names it (C:\...), also on POSIX
    std::string reason;   // plain ASCII, read after the path: "is a symbolic link", ...
};

// Opens, from the top folder below the drive downwards and without following links, every folder
// of `source`'s and `target`'s paths (the profile's folders first, then the copy's) and the
// profile `source` itself, tests each as it is opened and keeps them open until destroyed. On
// Windows the handles share no deletion, so no folder on either path and not the profile can be
// renamed, deleted or replaced while this object lives. A folder or the profile that does not
// exist ends the walk along its path without a fault: only someone trusted could make it, or
// the existence test reports it. A fault does not end the walk: only the first is kept, and
// everything after it is still opened (following a link where one failed the test) and held, so
// that an ordinary user's run, which goes on past a fault, is held in place too.
class HeldPaths {
  public:
    HeldPaths(const std::u16string& source, const std::u16string& target);
    HeldPaths(const HeldPaths&) = delete;
    HeldPaths& operator=(const HeldPaths&) = delete;
    HeldPaths(HeldPaths&&) = delete;
    HeldPaths& operator=(HeldPaths&&) = delete;
    ~HeldPaths();

    // Whether the profile itself is open and held: false when it is missing or could not be
    // opened, and the run must then not touch it (a profile it cannot hold could vanish and be
    // made anew by the profile functions).
    [[nodiscard]] bool ProfileHeld() const noexcept { return profileHeld_; }
    // Nothing when no one but the trusted can change the two paths; else the first fault.
    [[nodiscard]] const std::optional<TrustFault>& Fault() const noexcept { return fault_; }

  private:
    struct Handles;  // the platform's own open folders and file
    std::unique_ptr<Handles> handles_;
    bool profileHeld_ = false;
    std::optional<TrustFault> fault_;
};

// True when this process runs under an identity that a scheduled task or a service uses (on
// Windows: LOCAL SERVICE, NETWORK SERVICE, SYSTEM or a token holding the SERVICE group; on POSIX:
// a system account, root included). Such a run acts only on paths that pass the trust test; an
// ordinary user's run gains nothing from a path they could change, and acts as before.
bool RunsAsServiceIdentity() noexcept;

}  // namespace quenmoor::platform

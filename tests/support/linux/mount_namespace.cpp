#include "support/linux/mount_namespace.h"

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

namespace quenmoor::test {

std::optional<TmpfsNamespace> TmpfsNamespace::Create(const std::filesystem::path& mountPoint,
                                                     std::size_t bytes) {
    int ready[2];
    if (::pipe(ready) != 0) {
        return std::nullopt;
    }
    // A tmpfs root is world-writable by default, which the program's trust test refuses.
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::close(ready[0]);
        // The mount must not propagate back to the machine's namespace.
        const bool mounted = ::unshare(CLONE_NEWNS) == 0 &&
                             ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                             ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options.c_str()) == 0;
        const char answer = mounted ? 'y' : 'n';
        static_cast<void>(::write(ready[1], &answer, 1));
        ::close(ready[1]);
        if (mounted) {
            ::pause();
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char answer = 'n';
    const bool told = holder > 0 && ::read(ready[0], &answer, 1) == 1;
    ::close(ready[0]);
    if (holder > 0 && (!told || answer != 'y')) {
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        return std::nullopt;
    }
    if (holder < 0) {
        return std::nullopt;
    }
    return TmpfsNamespace(holder);
}

TmpfsNamespace::TmpfsNamespace(TmpfsNamespace&& other) noexcept
    : holder_(std::exchange(other.holder_, -1)) {}

TmpfsNamespace::~TmpfsNamespace() {
    if (holder_ > 0) {
        ::kill(holder_, SIGKILL);
        ::waitpid(holder_, nullptr, 0);
    }
}

std::filesystem::path TmpfsNamespace::Inside(const std::filesystem::path& path) const {
    return std::filesystem::path("/proc/" + std::to_string(holder_) + "/root") /
           path.relative_path();
}

}  // namespace quenmoor::test

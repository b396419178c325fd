// A private mount namespace holding one small tmpfs, for running the program on a full disk
// without touching the machine's own mounts. Needs root (CI runs as root).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace quenmoor::test {

class TmpfsNamespace {
  public:
    // Mounts a tmpfs of `bytes` at `mountPoint` (which must exist) inside a new mount namespace
    // kept alive by a child process, its root folder root's with mode 0755. Nothing when this
    // machine does not allow it.
    static std::optional<TmpfsNamespace> Create(const std::filesystem::path& mountPoint,
                                                std::size_t bytes);

    TmpfsNamespace(const TmpfsNamespace&) = delete;
    TmpfsNamespace& operator=(const TmpfsNamespace&) = delete;
    TmpfsNamespace(TmpfsNamespace&& other) noexcept;
    TmpfsNamespace& operator=(TmpfsNamespace&&) = delete;
    ~TmpfsNamespace();

    // The process whose mount namespace it is, for ChildOptions::mountNamespaceOf.
    [[nodiscard]] pid_t Holder() const { return holder_; }
    // `path` as seen from inside the namespace, reachable from this process.
    [[nodiscard]] std::filesystem::path Inside(const std::filesystem::path& path) const;

  private:
    explicit TmpfsNamespace(pid_t holder) : holder_(holder) {}
    pid_t holder_;
};

}  // namespace quenmoor::test

#include "support/read_only.h"

#include "platform/win32/windows_api.h"
#include "support/win32/host_command.h"

namespace quenmoor::test {
namespace {

constexpr const char* Chattr = "/usr/bin/chattr";

bool WriterIsRefused(const std::filesystem::path& path) {
    const HANDLE probe = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return true;
    }
    ::CloseHandle(probe);
    return false;
}

}  // namespace

// Wine running as root ignores the read-only attribute; the host's immutable flag refuses root
// too, so there the file is made immutable as well (where chattr and the file system allow it).
ReadOnlyFile::ReadOnlyFile(std::filesystem::path path) : path_(std::move(path)) {
    if (::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY) == FALSE) {
        return;
    }
    refuses_ = WriterIsRefused(path_);
    if (refuses_) {
        return;
    }
    if (const auto host = HostPath(path_)) {
        immutable_ = RunOnHost(Chattr, {"+i", *host}, [this] { return WriterIsRefused(path_); }) ==
                     HostRun::Done;
        refuses_ = immutable_;
    }
}

ReadOnlyFile::~ReadOnlyFile() {
    if (const auto host = HostPath(path_); host && immutable_) {
        static_cast<void>(
            RunOnHost(Chattr, {"-i", *host}, [this] { return !WriterIsRefused(path_); }));
    }
    ::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace quenmoor::test

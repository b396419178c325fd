#include "platform/linux/fs/file_stamp.h"

#include <sys/vfs.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace quenmoor::platform::posix {
namespace {

bool Same(timespec a, timespec b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Superblock magic numbers from <linux/magic.h>, spelt out so the list is in one place.
constexpr std::array<std::uint32_t, 4> TrustedFileSystems = {
    0xEF53U,      // ext2, ext3, ext4
    0x58465342U,  // XFS
    0x9123683EU,  // Btrfs
    0x01021994U,  // tmpfs
};

}  // namespace

FileStamp StampOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           Same(a.modified, b.modified) && Same(a.changed, b.changed);
}

bool IsEarlier(timespec a, timespec b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool IsSettled(const FileStamp& stamp, timespec readStart) {
    if (stamp.changed.tv_nsec == 0) {
        return stamp.changed.tv_sec < readStart.tv_sec;
    }
    return IsEarlier(stamp.changed, readStart);
}

bool StampsAreTrustworthy(const char* path) {
    struct statfs info {};
    if (::statfs(path, &info) != 0) {
        return false;
    }
    const auto type = static_cast<std::uint32_t>(info.f_type);
    return std::ranges::any_of(TrustedFileSystems,
                               [type](std::uint32_t trusted) { return type == trusted; });
}

timespec FileClockNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

}  // namespace quenmoor::platform::posix

// Telling whether a file may have changed since it was read, from what stat() says of it.
#pragma once

#include <sys/stat.h>

#include <ctime>

namespace quenmoor::platform::posix {

// Everything about a file that any change to it through the file system moves: a write moves
// the modification and change times (and the size, when it grows or shrinks); chmod, chown,
// link counts and renames move the change time; replacing the file moves the inode or device.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
};

FileStamp StampOf(const struct stat& info);
bool operator==(const FileStamp& a, const FileStamp& b);

// True when every change made after `readStart` is bound to move the file's stamp away from
// `stamp`: its change time is earlier than `readStart`, a reading of the clock the kernel stamps
// files with (FileClockNow). A later change is stamped with that clock's time or later. A file
// system that keeps whole seconds (a change time without nanoseconds) truncates that time, so there
// the change time must lie in an earlier second. Until then a change in the same clock tick, of the
// same size, would look like no change at all, so the contents must be read again and compared.
// Changes that fall between `readStart` and the stat that produced `stamp` are in `stamp`
// already, because the stat came after `readStart`.
bool IsSettled(const FileStamp& stamp, timespec readStart);

// True for the local file systems whose stamps come from this machine's kernel clock and whose
// stat() answers from the file itself: ext2/3/4, XFS, Btrfs and tmpfs. Network and FUSE file
// systems can answer stat() from an attribute cache or stamp files with another machine's clock,
// and overlay file systems can change a file's identity under it, so nothing read from them is
// kept.
bool StampsAreTrustworthy(const char* path);

// The time now on CLOCK_REALTIME_COARSE, the clock file stamps are taken from (stamps finer than
// its ticks are never earlier than it).
timespec FileClockNow();

// Whether time `a` comes before time `b`.
bool IsEarlier(timespec a, timespec b);

}  // namespace quenmoor::platform::posix

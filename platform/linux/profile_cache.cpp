// When a kept copy may be served
// ------------------------------
// The copy holds the bytes, and the stamp (device, inode, size, modification and change time in
// nanoseconds) that fstat gave for the descriptor they were read through, taken before reading.
// A later read serves the copy only when stat() on the path gives the same stamp now AND the copy
// is settled: its change time is earlier than the moment the read began (`readStart`, read from
// the coarse clock the kernel stamps files with, before opening), in whole seconds when the file
// system keeps only those (IsSettled). Otherwise the file is read again; when the bytes are the
// same the index is kept and only the stamp and readStart move on.
//
// Why a settled, unchanged stamp means unchanged bytes:
// - Any write, truncate, chmod, chown, rename or link of the file sets its change time to the
//   current time of that clock, and nobody can set the change time to a chosen value (utimensat
//   sets the modification time, and moves the change time to now). A change made after readStart
//   gets a change time no earlier than readStart, which is later than a settled stamp, so the
//   stamp differs. A change made between readStart and the fstat is part of the stamp itself. An
//   unsettled copy gets no such promise: a second change in the same clock tick with the same
//   size could leave every field as it was, so it is compared byte by byte. A profile written a
//   moment ago is settled once the clock has ticked on (a few milliseconds; on file systems that
//   keep whole seconds, the next second).
// - Another file put in its place (an editor's own atomic rename, a restore from backup) has
//   another inode while the old one still exists. After the old inode is freed its number may be
//   used again, but the new file's change time is then later than readStart, which a settled
//   stamp is not: the stamp differs again. The same holds for our own atomic renames, and on top
//   of that every write through the profile functions drops the copy (Take or Forget).
// - A link retargeted to another file, or a folder on the way replaced, is seen because stat()
//   walks the whole path again and so reaches the other inode.
// - If the clock is set back, stamps could repeat; a read that finds the clock earlier than the
//   copy's readStart reads the file again.
// - Only file systems whose stat() answers from the file itself with this machine's clock are
//   trusted (StampsAreTrustworthy); on any other, every read reads the file, as before.
//
// What no stamp can show: a single write() call stamps the file when it starts and then copies
// its data. A read that overlaps the copying part of one write() that started a clock tick
// earlier, on a file rewritten in place without changing its size or truncating it, could keep a
// mix of old and new bytes. A truncating rewrite, the usual way and the way Windows programs
// under Wine save profiles, changes the size while it writes and is seen.
#include "platform/linux/profile_cache.h"

#include <sys/stat.h>

#include "ini/index.h"
#include "ini/text.h"
#include "platform/linux/fs/file_stamp.h"
#include "platform/linux/fs/read_file.h"

namespace quenmoor::platform::posix {

using ini::ProfileIndex;
using ini::ProfileText;

struct ProfileCache::Entry {
    // The bytes must be in place before `text` and `index` look at them, and never move after:
    // the entry is always held by pointer.
    Entry(std::string path_, std::string bytes_)
        : path(std::move(path_)), bytes(std::move(bytes_)), text(bytes), index(text) {}
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    Entry(Entry&&) = delete;
    Entry& operator=(Entry&&) = delete;
    ~Entry() = default;

    const std::string path;
    std::string bytes;  // moved out only by Take, which drops the entry
    const ProfileText text;
    const ProfileIndex index;
    FileStamp stamp;
    timespec readStart{};
    bool settled = false;
};

ProfileCache::ProfileCache() : ProfileCache(FileClockNow) {}
ProfileCache::ProfileCache(Clock clock) : clock_(clock) {}
ProfileCache::~ProfileCache() = default;

// The stat it takes is kept in `now`, what the file is like at this moment.
bool ProfileCache::Unchanged(const Entry& entry, struct stat& now) const {
    return entry.settled && ::stat(entry.path.c_str(), &now) == 0 && StampOf(now) == entry.stamp &&
           !IsEarlier(clock_(), entry.readStart);
}

std::optional<std::u16string> ProfileCache::FindValue(const std::string& path,
                                                      std::u16string_view section,
                                                      std::u16string_view key) {
    const std::lock_guard lock(mutex_);
    if (entry_ && entry_->path != path) {
        entry_.reset();
    }
    struct stat now {};
    if (entry_ && Unchanged(*entry_, now)) {
        return entry_->index.FindValue(entry_->text, section, key);
    }

    const timespec readStart = clock_();
    FileContents file = ReadRegularFile(path, true);
    if (file.status != ReadStatus::Read) {
        entry_.reset();
        return std::nullopt;
    }
    if (!StampsAreTrustworthy(path.c_str())) {
        entry_.reset();
        const ProfileText text(file.bytes);
        return ProfileIndex(text).FindValue(text, section, key);
    }
    if (!entry_ || entry_->bytes != file.bytes) {
        entry_.reset();
        entry_ = std::make_unique<Entry>(path, std::move(file.bytes));
    }
    entry_->stamp = StampOf(file.info);
    entry_->readStart = readStart;
    entry_->settled = IsSettled(entry_->stamp, readStart);
    return entry_->index.FindValue(entry_->text, section, key);
}

std::optional<ProfileCache::Kept> ProfileCache::Take(const std::string& path) {
    const std::lock_guard lock(mutex_);
    std::optional<Kept> kept;
    struct stat now {};
    if (entry_ && entry_->path == path && Unchanged(*entry_, now)) {
        kept.emplace(Kept{std::move(entry_->bytes), now});
    }
    entry_.reset();
    return kept;
}

void ProfileCache::Forget() {
    const std::lock_guard lock(mutex_);
    entry_.reset();
}

ProfileCache& SharedProfileCache() {
    static ProfileCache cache;
    return cache;
}

}  // namespace quenmoor::platform::posix

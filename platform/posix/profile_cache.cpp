// When a kept copy may be served
// ------------------------------
// Watched: before the file is read, a kernel watch is put on it and on every folder on the way to
// it (FileWatch). The kernel queues an event as part of any call that changes the file's bytes or
// attributes, or which file the path leads to, before that call returns. A later read serves the
// copy while no event is queued and fstat on the descriptor the bytes were read through still
// gives the same stamp. That holds for a file written a moment ago as well, a change in the same
// clock tick included. The one writer that raises no event is a shared memory map of the file;
// its first write to a clean page moves the modification time, which the fstat sees unless it
// falls in the stamp tick of the copy.
//
// Unwatched (the kernel refused a watch): the copy holds the bytes, and the stamp (device, inode,
// size, modification and change time in nanoseconds) that fstat gave for the descriptor they were
// read through, taken before reading. A later read serves the copy only when stat() on the path
// gives the same stamp now AND the copy is settled: its stamp was older than the moment the read
// began (`readStart`, taken before opening) by more than StampWindow. Otherwise the file is read
// again; when the bytes are the same the index is kept and only the stamp and readStart move on.
//
// Why a settled, unchanged stamp means unchanged bytes:
// - Any write, truncate, chmod, chown, rename or link of the file sets its change time to the
//   current time, and nobody can set the change time to a chosen value (utimensat sets the
//   modification time, and moves the change time to now). A change made after readStart gets a
//   change time no earlier than readStart less one timer tick, which is later than a settled
//   stamp, so the stamp differs. A change made between readStart and the fstat is part of the
//   stamp itself. An unsettled copy gets no such promise: a second change in the same stamp tick
//   with the same size could leave every field as it was, so it is compared byte by byte.
// - Another file put in its place (an editor's own atomic rename, a restore from backup) has
//   another inode while the old one still exists. After the old inode is freed its number may be
//   used again, but the new file's change time is then later than readStart, which a settled
//   stamp is not: the stamp differs again. The same holds for our own atomic renames, and on top
//   of that every write through the profile functions drops the copy first (Forget).
// - A link retargeted to another file is seen because stat() follows it to the other inode.
// - If the clock is set back, stamps could repeat; a read that finds the clock earlier than the
//   copy's readStart reads the file again.
// - Only file systems whose stat() answers from the file itself with this machine's clock are
//   trusted (StampsAreTrustworthy); on any other, every read reads the file, as before.
//
// What no stamp can show: a single write() call stamps the file when it starts and then copies
// its data. A read that overlaps the copying part of one write() that started more than
// StampWindow earlier, on a file rewritten in place without changing its size or truncating it,
// could keep a mix of old and new bytes. A truncating rewrite, the usual way and the way
// Windows programs under Wine save profiles, changes the size while it writes and is seen.
#include "platform/posix/profile_cache.h"

#include <sys/stat.h>

#include "platform/posix/fs/file_stamp.h"
#include "platform/posix/fs/file_watch.h"
#include "platform/posix/fs/read_file.h"
#include "platform/posix/ini/index.h"
#include "platform/posix/ini/text.h"

namespace quenmoor::platform::posix {

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
    // While watched, the descriptor the bytes were read through, for the fstat.
    std::optional<FileWatch> watch;
    UniqueFd fd;

    [[nodiscard]] bool Unchanged() const {
        struct stat now {};
        if (watch) {
            return watch->Quiet() && ::fstat(fd.Get(), &now) == 0 && StampOf(now) == stamp;
        }
        return settled && ::stat(path.c_str(), &now) == 0 && StampOf(now) == stamp &&
               !Earlier(Now(), readStart);
    }
};

ProfileCache::ProfileCache() = default;
ProfileCache::~ProfileCache() = default;

std::optional<std::u16string> ProfileCache::FindValue(const std::string& path,
                                                      std::u16string_view section,
                                                      std::u16string_view key) {
    const std::lock_guard lock(mutex_);
    if (entry_ && entry_->path != path) {
        entry_.reset();
    }
    if (entry_ && entry_->Unchanged()) {
        return entry_->index.FindValue(entry_->text, section, key);
    }

    const timespec readStart = Now();
    // Watching starts before reading, so a change made while the file is read is an event too.
    std::optional<FileWatch> watch = FileWatch::Start(path);
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
    entry_->watch = std::move(watch);
    entry_->fd = std::move(file.fd);
    return entry_->index.FindValue(entry_->text, section, key);
}

std::optional<ProfileCache::Kept> ProfileCache::Take(const std::string& path) {
    const std::lock_guard lock(mutex_);
    std::optional<Kept> kept;
    if (entry_ && entry_->path == path && entry_->watch && entry_->Unchanged()) {
        kept.emplace(Kept{std::move(entry_->bytes), {}});
        if (::fstat(entry_->fd.Get(), &kept->info) != 0) {
            kept.reset();
        }
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

// The kept copy of the last profile read must never answer for a file that has changed: edits of
// the same size in the same stamp tick, replacements by rename, retargeted links, our own writes.
// The cache reads a clock of the test's own, so each case chooses whether the copy it reads is
// settled (its file changed before the read began) or read in the same tick as the last change.
#include "platform/linux/profile_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/linux/fs/file_stamp.h"
#include "platform/profile_functions.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace quenmoor::platform::posix {
namespace {

namespace fs = std::filesystem;
using test::WriteBytes;

struct timespec StatTime(const fs::path& path, bool changeTime) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return changeTime ? info.st_ctim : info.st_mtim;
}

// Overwrites the file in place, keeping its size, and puts its modification time back, as an
// editor that preserves it would: only the change time (if the tick moved on) can tell.
void RewriteInPlaceKeepingTime(const fs::path& path, const std::string& bytes) {
    const struct timespec modified = StatTime(path, false);
    WriteBytes(path, bytes);
    const std::array<struct timespec, 2> times = {modified, modified};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times.data(), 0), 0);
}

// Waits (a clock tick, a few milliseconds; on a file system of whole seconds, until the next
// second) until the real file clock has passed the file's last change, so that the next change
// is stamped differently, as every change after a settled read is.
void WaitPastLastChange(const fs::path& path) {
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    while (!IsSettled(StampOf(info), FileClockNow())) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The clock the cache under test reads.
timespec clockReading{};
timespec TestClock() { return clockReading; }

class ProfileCacheTest : public testing::Test {
  protected:
    // Unless a case says otherwise, every read begins an hour from now: whatever the case does
    // to its files happened before, so every copy is settled and only the stamps can tell.
    void SetUp() override {
        clockReading = FileClockNow();
        clockReading.tv_sec += 3600;
    }
    // A read in the same tick as the last change of `path`: its copy is not settled.
    static void ClockAtLastChange(const fs::path& path) { clockReading = StatTime(path, true); }

    test::TempFolder folder;
    fs::path file = folder.Path() / "Quenmoor.ini";
    ProfileCache cache{TestClock};

    std::optional<std::u16string> Read() { return cache.FindValue(file.string(), u"s", u"k"); }
};

TEST_F(ProfileCacheTest, SameSizeEditInTheSameTickIsSeen) {
    WriteBytes(file, "[s]\nk=first\n");
    ClockAtLastChange(file);
    EXPECT_EQ(Read(), u"first");
    RewriteInPlaceKeepingTime(file, "[s]\nk=other\n");
    EXPECT_EQ(Read(), u"other");
    RewriteInPlaceKeepingTime(file, "[s]\nk=third\n");
    EXPECT_EQ(Read(), u"third");
}

TEST_F(ProfileCacheTest, SameSizeEditOfASettledFileIsSeen) {
    WriteBytes(file, "[s]\nk=first\n");
    EXPECT_EQ(Read(), u"first");
    EXPECT_EQ(Read(), u"first");
    WaitPastLastChange(file);
    RewriteInPlaceKeepingTime(file, "[s]\nk=other\n");
    EXPECT_EQ(Read(), u"other");
}

// A write starts from the read's kept copy only while that copy is the file: never from a copy
// read in the same tick as a change, nor after another program's edit of the same size that kept
// the modification time, nor once the clock has been set back (stamps could then repeat).
TEST_F(ProfileCacheTest, WriteTakesTheCopyOnlyWhileItIsTheFile) {
    const std::string bytes = "[s]\nk=first\nv=1\n";
    WriteBytes(file, bytes);
    EXPECT_EQ(Read(), u"first");
    const auto kept = cache.Take(file.string());
    ASSERT_TRUE(kept.has_value()) << "a settled, unchanged copy is handed to the write";
    EXPECT_EQ(kept->bytes, bytes);

    EXPECT_EQ(Read(), u"first");
    WaitPastLastChange(file);
    RewriteInPlaceKeepingTime(file, "[s]\nk=other\nv=1\n");
    EXPECT_FALSE(cache.Take(file.string()).has_value()) << "edited since the read";

    EXPECT_EQ(Read(), u"other");
    clockReading.tv_sec -= 7200;
    EXPECT_FALSE(cache.Take(file.string()).has_value()) << "the clock was set back since the read";

    ClockAtLastChange(file);
    EXPECT_EQ(Read(), u"other");
    EXPECT_FALSE(cache.Take(file.string()).has_value()) << "read in the tick of the last change";
}

TEST_F(ProfileCacheTest, ReplacementByRenameWithTheSameSizeAndTimeIsSeen) {
    WriteBytes(file, "[s]\nk=first\n");
    EXPECT_EQ(Read(), u"first");
    const fs::path replacement = folder.Path() / "replacement.ini";
    WriteBytes(replacement, "[s]\nk=other\n");
    const struct timespec modified = StatTime(file, false);
    const std::array<struct timespec, 2> times = {modified, modified};
    ASSERT_EQ(::utimensat(AT_FDCWD, replacement.c_str(), times.data(), 0), 0);
    fs::rename(replacement, file);
    EXPECT_EQ(Read(), u"other");
}

TEST_F(ProfileCacheTest, RetargetedLinkIsFollowed) {
    const fs::path first = folder.Path() / "first.ini";
    const fs::path second = folder.Path() / "second.ini";
    WriteBytes(first, "[s]\nk=first\n");
    WriteBytes(second, "[s]\nk=other\n");
    fs::create_symlink(first, file);
    EXPECT_EQ(Read(), u"first");
    fs::remove(file);
    fs::create_symlink(second, file);
    EXPECT_EQ(Read(), u"other");
}

// The kept copy's file is untouched in both cases; only the folders on the way tell.
TEST_F(ProfileCacheTest, FolderOnTheWayReplacedIsSeen) {
    const fs::path inner = folder.Path() / "Suporte" / "Quenmoor.ini";
    fs::create_directories(inner.parent_path());
    WriteBytes(inner, "[s]\nk=first\n");
    EXPECT_EQ(cache.FindValue(inner.string(), u"s", u"k"), u"first");
    fs::rename(inner.parent_path(), folder.Path() / "Suporte.old");
    fs::create_directories(inner.parent_path());
    WriteBytes(inner, "[s]\nk=other\n");
    EXPECT_EQ(cache.FindValue(inner.string(), u"s", u"k"), u"other");
}

TEST_F(ProfileCacheTest, RetargetedFolderLinkOnTheWayIsFollowed) {
    for (const char* name : {"first", "second"}) {
        fs::create_directories(folder.Path() / name);
        WriteBytes(folder.Path() / name / "Quenmoor.ini", std::string("[s]\nk=") + name + "\n");
    }
    const fs::path link = folder.Path() / "drive";
    const std::string path = (link / "Quenmoor.ini").string();
    fs::create_directory_symlink(folder.Path() / "first", link);
    EXPECT_EQ(cache.FindValue(path, u"s", u"k"), u"first");
    fs::remove(link);
    fs::create_directory_symlink(folder.Path() / "second", link);
    EXPECT_EQ(cache.FindValue(path, u"s", u"k"), u"second");
}

TEST_F(ProfileCacheTest, RemovedFileReadsAsMissing) {
    WriteBytes(file, "[s]\nk=first\n");
    EXPECT_EQ(Read(), u"first");
    fs::remove(file);
    EXPECT_EQ(Read(), std::nullopt);
}

TEST_F(ProfileCacheTest, AnotherPathIsReadItself) {
    WriteBytes(file, "[s]\nk=first\n");
    const fs::path other = folder.Path() / "other.ini";
    WriteBytes(other, "[s]\nk=other\n");
    EXPECT_EQ(Read(), u"first");
    EXPECT_EQ(cache.FindValue(other.string(), u"s", u"k"), u"other");
    EXPECT_EQ(Read(), u"first");
}

// The cache as the profile functions use it, with the real clock.
class ProfileFunctionsCacheTest : public testing::Test {
  protected:
    test::TempFolder folder;
    fs::path file = folder.Path() / "Quenmoor.ini";
    std::u16string name = folder.FileName("Quenmoor.ini");

    std::u16string Read(const char16_t* key) {
        std::array<char16_t, 64> buffer{};
        const auto count = ReadProfileValue(u"s", key, u"", buffer, name.c_str());
        return {buffer.data(), count};
    }
};

TEST_F(ProfileFunctionsCacheTest, OwnWritesAreSeenByTheNextRead) {
    WriteBytes(file, "[s]\nk=first\n");
    EXPECT_EQ(Read(u"k"), u"first");
    for (const char16_t* value : {u"other", u"third", u"fifth"}) {
        ASSERT_TRUE(WriteProfileValue(u"s", u"k", value, name.c_str()));
        EXPECT_EQ(Read(u"k"), value);
    }
}

// The write path as a whole: another program's edit between a read and a write survives the
// write. Which branch the cache takes here is the real clock's; ProfileCacheTest chooses each.
TEST_F(ProfileFunctionsCacheTest, WriteAfterAnotherProgramsEditKeepsThatEdit) {
    WriteBytes(file, "[s]\nk=first\nv=1\n");
    EXPECT_EQ(Read(u"k"), u"first");
    RewriteInPlaceKeepingTime(file, "[s]\nk=other\nv=1\n");
    ASSERT_TRUE(WriteProfileValue(u"s", u"v", u"2", name.c_str()));
    EXPECT_EQ(test::ReadBytes(file), "[s]\nk=other\nv=2\n");
}

// Settled once the change time lies before the read's clock reading; for whole-second stamps, in
// an earlier second. The modification time plays no part: anyone can set it.
TEST(FileStampTest, SettledOnlyWhenChangedBeforeTheReadStarted) {
    struct Case {
        timespec changed;
        bool settled;
    };
    const timespec readStart{1000, 500};
    const Case cases[] = {
        {{1000, 499}, true}, {{1000, 500}, false}, {{1000, 501}, false},
        {{999, 0}, true},    {{1000, 0}, false},   {{2000, 1}, false},
    };
    for (const Case& c : cases) {
        FileStamp stamp;
        stamp.changed = c.changed;
        stamp.modified = {5000, 0};
        EXPECT_EQ(IsSettled(stamp, readStart), c.settled)
            << c.changed.tv_sec << "." << c.changed.tv_nsec;
    }
}

// FileClockNow() reads the clock files are stamped with: a file made after a reading is never
// stamped earlier, so a change during a read cannot pass for settled. Each file is new: a file
// whose stamps were read since its last change may get a finer stamp next time.
TEST(FileStampTest, FileMadeAfterAClockReadingIsNotStampedBeforeIt) {
    const test::TempFolder folder;
    for (int round = 0; round < 100; ++round) {
        const fs::path file = folder.Path() / std::to_string(round);
        const timespec reading = FileClockNow();
        WriteBytes(file, "x");
        EXPECT_FALSE(IsEarlier(StatTime(file, true), reading)) << "round " << round;
    }
}

// Network, FUSE and overlay file systems can answer from a cache or another machine's clock.
TEST(FileStampTest, OnlyLocalFileSystemsAreTrusted) {
    EXPECT_FALSE(StampsAreTrustworthy("/proc"));
    EXPECT_FALSE(StampsAreTrustworthy("/no/such/folder"));
}

TEST(FileStampTest, EveryFieldCounts) {
    FileStamp base;
    base.device = 1;
    base.inode = 2;
    base.size = 3;
    base.modified = {4, 5};
    base.changed = {6, 7};
    EXPECT_EQ(base, base);
    auto changed = base;
    changed.device = 9;
    EXPECT_FALSE(changed == base);
    changed = base;
    changed.inode = 9;
    EXPECT_FALSE(changed == base);
    changed = base;
    changed.size = 9;
    EXPECT_FALSE(changed == base);
    changed = base;
    changed.modified.tv_nsec = 9;
    EXPECT_FALSE(changed == base);
    changed = base;
    changed.changed.tv_nsec = 9;
    EXPECT_FALSE(changed == base);
}

}  // namespace
}  // namespace quenmoor::platform::posix

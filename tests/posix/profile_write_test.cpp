// WriteProfileValue on POSIX over real files: byte-exact edits, refusals that leave the
// folder as it was, and the file's link, mode and owner kept.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/profile_functions.h"
#include "posix/utf16_bytes.h"
#include "support/file_bytes.h"
#include "support/folder_entries.h"
#include "support/temp_folder.h"

namespace quenmoor::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::Utf16;
using test::WriteBytes;
using namespace std::string_literals;

class ProfileWriteTest : public testing::Test {
  protected:
    [[nodiscard]] const fs::path& Folder() const { return folder_.Path(); }
    [[nodiscard]] const fs::path& Path() const { return path_; }
    [[nodiscard]] const char16_t* FileName() const { return fileName_.c_str(); }

    // What is in the folder, to prove that no temporary file was left behind.
    [[nodiscard]] std::vector<std::string> Entries() const {
        return test::FolderEntries(folder_.Path());
    }

  private:
    test::TempFolder folder_;
    fs::path path_ = folder_.Path() / "Quenmoor.ini";
    std::u16string fileName_ = path_.u16string();
};

struct EditCase {
    const char* what;
    std::string before;
    const char16_t* section;
    const char16_t* key;    // null removes the section
    const char16_t* value;  // null removes the key
    std::string after;
};

TEST_F(ProfileWriteTest, EditsChangeOnlyTheBytesTheyMust) {
    const auto cases = std::to_array<EditCase>({
        {"value replaced, spacing and comment kept", "; c\r\n[A]\r\n  k1 =  old v \t\r\n\r\n", u"a",
         u"K1", u"new", "; c\r\n[A]\r\n  k1 =  new \t\r\n\r\n"},
        {"quotes are replaced with the value", "[A]\nk='old'\nz=1\n", u"A", u"k", u"v",
         "[A]\nk=v\nz=1\n"},
        {"empty values filled after their blanks", "[A]\na=\nb= \t\n", u"A", u"b", u"x",
         "[A]\na=\nb= \tx\n"},
        {"first key of the first section", "[A]\nk=1\nk=2\n[a]\nk=3\n", u"A", u"K", u"9",
         "[A]\nk=9\nk=2\n[a]\nk=3\n"},
        {"new key after the last key line", "[A]\r\na=1\r\n; tail\r\n\r\n[B]\r\nb=2\r\n", u"A",
         u"c", u"3", "[A]\r\na=1\r\nc=3\r\n; tail\r\n\r\n[B]\r\nb=2\r\n"},
        {"new key under a bare header", "[A]\n\n[B]\n", u"A", u"k", u"v", "[A]\nk=v\n\n[B]\n"},
        {"new key goes to the first of two equal sections", "[A]\na=1\n[A]\nb=2\n", u"A", u"b",
         u"3", "[A]\na=1\nb=3\n[A]\nb=2\n"},
        {"new key after a last line without line end", "x\r\n[A]\na=1", u"A", u"c", u"3",
         "x\r\n[A]\na=1\nc=3\n"},
        {"lone CR line ends", "[A]\ra=1\r", u"A", u"b", u"2", "[A]\ra=1\rb=2\r"},
        {"new section after lone CR line ends", "[A]\ra=1\r", u"B", u"k", u"v",
         "[A]\ra=1\r[B]\rk=v\r"},
        {"new section appended", "[A]\na=1\n", u"B", u"k", u"v", "[A]\na=1\n[B]\nk=v\n"},
        {"new section after a last line without line end", "[A]\r\na=1", u"B", u"k", u"v",
         "[A]\r\na=1\r\n[B]\r\nk=v\r\n"},
        {"no line end anywhere means CRLF", "a=1", u"S", u"k", u"v", "a=1\r\n[S]\r\nk=v\r\n"},
        {"key removed", "[A]\r\na=1\r\nb=2\r\n", u"A", u"A", nullptr, "[A]\r\nb=2\r\n"},
        {"section removed up to the next header", "[A]\na=1\n; c\n[B]\nb=2\n", u"a", nullptr,
         nullptr, "[B]\nb=2\n"},
        {"missing key removed: nothing to do", "[A]\na=1\n", u"A", u"z", nullptr, "[A]\na=1\n"},
        {"missing section removed: nothing to do", "[A]\na=1", u"Z", nullptr, nullptr, "[A]\na=1"},
        {"UTF-8 mark kept", "\xEF\xBB\xBF[A]\r\na=1\r\n", u"A", u"a", u"\u00E9\u4E2D\U0001F600",
         "\xEF\xBB\xBF[A]\r\na=\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\r\n"},
        {"Windows-1252 stays byte for byte", "[A]\r\nname=Jos\xE9\r\nv=1\r\n", u"A", u"v",
         u"\u20AC\u00FC", "[A]\r\nname=Jos\xE9\r\nv=\x80\xFC\r\n"},
        {"Windows-1252 value replaced by ASCII", "[A]\r\nv=Jos\xE9\r\n", u"A", u"v", u"Jose",
         "[A]\r\nv=Jose\r\n"},
        {"last Windows-1252 key removed", "[A]\na=1\nv=\xE9\n", u"A", u"v", nullptr, "[A]\na=1\n"},
        {"last Windows-1252 section removed", "\xEF\xBB\xBF[A]\nv=\xE9\n[B]\n", u"A", nullptr,
         nullptr, "\xEF\xBB\xBF[B]\n"},
        {"UTF-16LE stays UTF-16LE", Utf16(u"[A]\r\na=1\r\n", true), u"A", u"b", u"\u4E2D",
         Utf16(u"[A]\r\na=1\r\nb=\u4E2D\r\n", true)},
        {"UTF-16BE stays UTF-16BE", Utf16(u"[A]\na=1", false), u"A", u"a", u"2",
         Utf16(u"[A]\na=2", false)},
    });
    for (const auto& c : cases) {
        WriteBytes(Path(), c.before);
        EXPECT_TRUE(WriteProfileValue(c.section, c.key, c.value, FileName())) << c.what;
        EXPECT_EQ(ReadBytes(Path()), c.after) << c.what;
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"Quenmoor.ini"});
}

TEST_F(ProfileWriteTest, MissingFileIsCreatedWithModeFromTheUmask) {
    const mode_t saved = ::umask(027);
    const bool written = WriteProfileValue(u"S", u"k", u"v", FileName());
    ::umask(saved);
    ASSERT_TRUE(written);
    EXPECT_EQ(ReadBytes(Path()), "[S]\r\nk=v\r\n");
    struct stat info = {};
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777U, 0640U);
}

TEST_F(ProfileWriteTest, RefusedEditsLeaveTheFileAsItWas) {
    struct RefusalCase {
        const char* what;
        std::string bytes;
        const char16_t* section;
        const char16_t* key;
        const char16_t* value;
    };
    const auto cases = std::to_array<RefusalCase>({
        {"line break in the value", "[A]\na=1\n", u"A", u"a", u"1\r\n[B]"},
        {"lone LF in the value", "[A]\na=1\n", u"A", u"a", u"x\ny=2"},
        {"lone CR in the value", "[A]\na=1\n", u"A", u"a", u"x\ry=2"},
        {"= in the key", "[A]\na=1\n", u"A", u"a=b", u"1"},
        {"key that would be a header", "[A]\na=1\n", u"A", u" [B", u"1"},
        {"key that would be a comment", "[A]\na=1\n", u"A", u"\t;a", u"1"},
        {"] in the section", "[A]\na=1\n", u"A]x", u"a", u"1"},
        {"line break in the section", "[A]\na=1\n", u"A\nb=2", u"a", u"1"},
        {"outside Windows-1252", "[A]\nn=\xE9\na=1\n", u"A", u"a", u"\u0100"},
        {"unpaired surrogate in UTF-8", "[A]\na=1\n", u"A", u"a", u"\xD800"},
        {"only bad UTF-8 replaced", "[A]\nn=\xC3\xA9\nv=\xE9\n", u"A", u"v", u"x"},
        {"only bad UTF-8 removed", "[A]\nn=\xC3\xA9\nv=\xE9\n", u"A", u"v", nullptr},
        {"UTF-16 without its mark", "[\0A\0]\0\n\0"s, u"A", u"a", u"1"},
        {"key removed beside a NUL byte", "[A]\na=1\nb=\0\n"s, u"A", u"a", nullptr},
        {"UTF-16 that lost a byte", Utf16(u"[A]\na=1\n", true) + "\n", u"A", u"a", u"2"},
    });
    for (const auto& c : cases) {
        WriteBytes(Path(), c.bytes);
        EXPECT_FALSE(WriteProfileValue(c.section, c.key, c.value, FileName())) << c.what;
        EXPECT_EQ(ReadBytes(Path()), c.bytes) << c.what;
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"Quenmoor.ini"});
}

TEST_F(ProfileWriteTest, RefusedWhenThePathCannotTakeTheProfile) {
    WriteBytes(Path(), "[A]\na=1\n");
    fs::permissions(Path(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(WriteProfileValue(u"A", u"a", u"2", FileName()))
        << "no write bit at all is the read-only attribute, for root too";
    EXPECT_FALSE(WriteProfileValue(u"A", u"a", nullptr, FileName()));
    EXPECT_EQ(ReadBytes(Path()), "[A]\na=1\n");

    fs::create_directory(Folder() / "folder");
    ASSERT_EQ(::mkfifo((Folder() / "fifo").c_str(), 0600), 0);
    fs::create_symlink(Folder() / "nowhere", Folder() / "dangling");
    for (const char* name : {"missing/Quenmoor.ini", "folder", "fifo", "dangling"}) {
        EXPECT_FALSE(WriteProfileValue(u"A", u"a", u"2", (Folder() / name).u16string().c_str()))
            << name;
    }
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Quenmoor.ini", "dangling", "fifo", "folder"}));
    EXPECT_TRUE(fs::is_empty(Folder() / "folder"));
}

TEST_F(ProfileWriteTest, LinkModeAndOwnerAreKept) {
    const fs::path target = Folder() / "target.ini";
    WriteBytes(target, "[A]\na=1\n");
    fs::create_symlink(target, Path());
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(target.c_str(), 4321, 8765), 0);
    }

    ASSERT_TRUE(WriteProfileValue(u"A", u"a", u"2", FileName()));
    EXPECT_TRUE(fs::is_symlink(Path()));
    EXPECT_EQ(ReadBytes(target), "[A]\na=2\n");
    struct stat info = {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777U, 0640U);
    if (root) {
        EXPECT_EQ(info.st_uid, 4321U);
        EXPECT_EQ(info.st_gid, 8765U);
    }
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Quenmoor.ini", "target.ini"}));
}

TEST_F(ProfileWriteTest, NullArguments) {
    EXPECT_FALSE(WriteProfileValue(u"A", u"a", u"1", nullptr));
    EXPECT_FALSE(WriteProfileValue(nullptr, u"a", u"1", FileName()));
    EXPECT_FALSE(WriteProfileValue(nullptr, nullptr, nullptr, FileName()))
        << "the flush request answers false, as on Windows";
    EXPECT_TRUE(WriteProfileValue(u"A", nullptr, nullptr, FileName()))
        << "removing from a missing file leaves nothing to do";
    EXPECT_FALSE(fs::exists(Path()));
}

// A large profile is edited with memory near twice its size: its bytes and the new bytes,
// never a decoded copy. Measured in a child process so the test's own memory does not count.
TEST_F(ProfileWriteTest, LargeProfileIsEditedInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory and its own shadow resident";
#endif
    constexpr std::size_t Lines = 700'000;  // about 20 MB
    {
        std::string bytes = "[Big]\r\n";
        for (std::size_t i = 0; i < Lines; ++i) {
            bytes += "Key" + std::to_string(i) + "=some value with \xE9 text\r\n";
        }
        WriteBytes(Path(), bytes);
    }
    const auto size = fs::file_size(Path());
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const bool ok = WriteProfileValue(u"Big", u"Key699999", u"x", FileName()) &&
                        WriteProfileValue(u"Big", u"New", u"y", FileName());
        std::vector<char16_t> buffer(8);
        const bool read = ReadProfileValue(u"Big", u"New", u"", buffer, FileName()) == 1;
        ::_exit(ok && read ? 0 : 1);
    }
    int status = 0;
    rusage usage = {};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    EXPECT_EQ(status, 0) << "the child exits normally with 0 when every call succeeded";
    // glibc declares ru_maxrss inside an anonymous union; it is an ordinary field all the same.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-union-access)
    const auto peakBytes = static_cast<std::uintmax_t>(usage.ru_maxrss) * 1024U;
    EXPECT_LT(peakBytes, (3 * size) + (16U << 20U)) << "file size " << size;
}

}  // namespace
}  // namespace quenmoor::platform

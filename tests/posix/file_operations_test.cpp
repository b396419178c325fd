// The existence test and the copy on POSIX, over real files, links, folders and FIFOs.
#include "platform/file_operations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/file_bytes.h"
#include "support/folder_entries.h"
#include "support/temp_folder.h"

namespace quenmoor::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

class PosixFileTest : public testing::Test {
  protected:
    test::TempFolder folder;
    fs::path At(const std::string& name) const { return folder.Path() / name; }

    // Entries of the folder, to prove that nothing was left behind.
    std::vector<std::string> Entries() const { return test::FolderEntries(folder.Path()); }
};

TEST_F(PosixFileTest, ExistenceCountsRegularFilesAndLinksToThem) {
    WriteBytes(At("file"), "x");
    fs::create_directory(At("dir"));
    fs::create_symlink(At("file"), At("link-to-file"));
    fs::create_symlink(At("dir"), At("link-to-dir"));
    fs::create_symlink(At("gone"), At("dangling"));
    fs::create_symlink(At("loop"), At("loop"));
    ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0600), 0);

    const std::pair<std::string, bool> cases[] = {
        {"file", true},         {"link-to-file", true}, {"dir", false},
        {"link-to-dir", false}, {"dangling", false},    {"loop", false},
        {"fifo", false},        {"missing", false},     {"file/below", false}};
    for (const auto& [name, exists] : cases) {
        EXPECT_EQ(FileExists(At(name).u16string()), exists) << name;
    }
}

TEST_F(PosixFileTest, CopyMakesAnIdenticalFileWithTheSourcePermissions) {
    const std::string bytes = std::string("[DEFAULT]\r\nVERSAO=8\r\n") + '\0' + "\xE9";
    WriteBytes(At("source"), bytes);
    fs::permissions(At("source"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(CopyFileNoOverwrite(At("source").u16string(), At("target").u16string()));
    EXPECT_EQ(ReadBytes(At("target")), bytes);
    EXPECT_EQ(fs::status(At("target")).permissions(), fs::status(At("source")).permissions());
    EXPECT_EQ(Entries(), (std::vector<std::string>{"source", "target"}));
}

TEST_F(PosixFileTest, CopyNeverReplacesWhatIsAtTheTarget) {
    WriteBytes(At("source"), "new");
    const std::pair<std::string, std::function<void(const fs::path&)>> occupants[] = {
        {"file", [](const fs::path& p) { WriteBytes(p, "old"); }},
        {"folder", [](const fs::path& p) { fs::create_directory(p); }},
        {"dangling link", [this](const fs::path& p) { fs::create_symlink(At("nowhere"), p); }},
        {"link to file", [this](const fs::path& p) {
             WriteBytes(At("linked"), "old");
             fs::create_symlink(At("linked"), p);
         }}};
    for (const auto& [what, place] : occupants) {
        const test::TempFolder scratch;
        const fs::path target = scratch.Path() / "target";
        place(target);
        const auto before = fs::symlink_status(target).type();
        EXPECT_FALSE(CopyFileNoOverwrite(At("source").u16string(), target.u16string())) << what;
        EXPECT_EQ(fs::symlink_status(target).type(), before) << what;
        EXPECT_EQ(test::FolderEntries(scratch.Path()), std::vector<std::string>{"target"})
            << what << ": nothing else may be left in the folder";
    }
    EXPECT_FALSE(fs::exists(At("nowhere"))) << "a dangling link's target is never created";
    EXPECT_EQ(ReadBytes(At("linked")), "old");
}

TEST_F(PosixFileTest, CopyFailsCleanlyWhenSourceOrTargetFolderIsMissing) {
    WriteBytes(At("source"), "x");
    EXPECT_FALSE(CopyFileNoOverwrite(At("missing").u16string(), At("target").u16string()));
    EXPECT_FALSE(CopyFileNoOverwrite(At("source").u16string(), At("no/target").u16string()));
    ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(CopyFileNoOverwrite(At("fifo").u16string(), At("target").u16string()));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"fifo", "source"}));
}

}  // namespace
}  // namespace quenmoor::platform

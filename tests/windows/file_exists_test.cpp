// The Windows existence test: its rule branch by branch with scripted answers, and FileExists
// over real files, folders and links under the system's own kernel32.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_operations.h"
#include "platform/win32/file_existence.h"
#include "platform/win32/windows_api.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"
#include "support/win32/host_command.h"

namespace quenmoor::platform::win32 {
namespace {

constexpr DWORD Reparse = FILE_ATTRIBUTE_REPARSE_POINT;
constexpr DWORD Directory = FILE_ATTRIBUTE_DIRECTORY;

// Answers from a script, noting which questions were asked.
class ScriptedQuestions final : public PathQuestions {
  public:
    Attributes attributes{INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND};
    DWORD openError = ERROR_SUCCESS;
    std::optional<DWORD> entry;
    std::string asked;

    Attributes ReadAttributes() override {
        asked += 'A';
        return attributes;
    }
    DWORD OpenForReading() override {
        asked += 'O';
        return openError;
    }
    std::optional<DWORD> FindEntry() override {
        asked += 'F';
        return entry;
    }
};

struct RuleCase {
    const char* what;
    PathQuestions::Attributes attributes;
    DWORD openError;
    std::optional<DWORD> entry;
    bool exists;
    const char* asked;  // the questions the rule must ask, in order, and no others
};

class ExistenceRuleTest : public testing::TestWithParam<RuleCase> {};

TEST_P(ExistenceRuleTest, CountsOnlyWhatIsAFile) {
    ScriptedQuestions path;
    path.attributes = GetParam().attributes;
    path.openError = GetParam().openError;
    path.entry = GetParam().entry;
    EXPECT_EQ(CountsAsExistingFile(path), GetParam().exists);
    EXPECT_EQ(path.asked, GetParam().asked);
}

INSTANTIATE_TEST_SUITE_P(
    Branches, ExistenceRuleTest,
    testing::Values(
        RuleCase{"plain file", {FILE_ATTRIBUTE_ARCHIVE, 0}, 5, std::nullopt, true, "A"},
        RuleCase{"read-only file", {FILE_ATTRIBUTE_READONLY, 0}, 5, std::nullopt, true, "A"},
        RuleCase{"folder", {Directory, 0}, 0, FILE_ATTRIBUTE_ARCHIVE, false, "A"},
        RuleCase{"link to a folder", {Directory | Reparse, 0}, 0, std::nullopt, false, "A"},
        RuleCase{"link to a readable file", {Reparse, 0}, ERROR_SUCCESS, std::nullopt, true, "AO"},
        RuleCase{"link to a locked file",
                 {Reparse, 0},
                 ERROR_SHARING_VIOLATION,
                 std::nullopt,
                 true,
                 "AO"},
        RuleCase{"dangling link", {Reparse, 0}, ERROR_FILE_NOT_FOUND, std::nullopt, false, "AO"},
        RuleCase{"link to a forbidden file",
                 {Reparse, 0},
                 ERROR_ACCESS_DENIED,
                 FILE_ATTRIBUTE_ARCHIVE,
                 false,
                 "AO"},
        RuleCase{"missing file",
                 {INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
                 0,
                 FILE_ATTRIBUTE_ARCHIVE,
                 false,
                 "A"},
        RuleCase{"missing folder",
                 {INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
                 0,
                 FILE_ATTRIBUTE_ARCHIVE,
                 false,
                 "A"},
        RuleCase{"wildcard name",
                 {INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME},
                 0,
                 FILE_ATTRIBUTE_ARCHIVE,
                 false,
                 "A"},
        RuleCase{"denied, listed as a file",
                 {INVALID_FILE_ATTRIBUTES, ERROR_ACCESS_DENIED},
                 0,
                 FILE_ATTRIBUTE_ARCHIVE,
                 true,
                 "AF"},
        RuleCase{"denied, listed as a folder",
                 {INVALID_FILE_ATTRIBUTES, ERROR_ACCESS_DENIED},
                 0,
                 Directory,
                 false,
                 "AF"},
        RuleCase{"locked, not listed",
                 {INVALID_FILE_ATTRIBUTES, ERROR_SHARING_VIOLATION},
                 0,
                 std::nullopt,
                 false,
                 "AF"}),
    [](const testing::TestParamInfo<RuleCase>& param) {
        std::string name;
        for (const char c : std::string(param.param.what)) {
            name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
        }
        return name;
    });

namespace fs = std::filesystem;

// FileExists against kernel32 itself. Wine shows a Unix symbolic link to a file as the file, and
// one to a folder as a folder that is a reparse point.
class FileExistsTest : public testing::Test {
  protected:
    test::TempFolder folder;
    fs::path At(const std::string& name) const { return folder.Path() / name; }
    bool Exists(const std::string& name) const { return FileExists(At(name).u16string()); }

    void SetUp() override {
        test::WriteBytes(At("Quenmoor.ini"), "[DEFAULT]\r\nVERSAO=1\r\n");
        fs::create_directory(At("Suporte"));
    }
};

TEST_F(FileExistsTest, FilesCountAndNothingElseDoes) {
    EXPECT_TRUE(Exists("Quenmoor.ini"));
    EXPECT_FALSE(Exists("Missing.ini"));
    EXPECT_FALSE(Exists("Missing\\Quenmoor.ini"));
    EXPECT_FALSE(Exists("Suporte"));
    // A wildcard name is malformed; a search would find Quenmoor.ini.
    EXPECT_FALSE(Exists("Quenmoor*.ini"));
    EXPECT_FALSE(Exists("Quenmoor.in?"));
}

TEST_F(FileExistsTest, FileHeldOpenWithoutSharingStillCounts) {
    const HANDLE locked = ::CreateFileW(At("Quenmoor.ini").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Exists("Quenmoor.ini"));
    ::CloseHandle(locked);
}

// Wine's own CreateSymbolicLinkW makes no link, so the host's shell makes them, and removes them
// again: the folder's removal from here would follow the link to the folder.
class FileExistsLinkTest : public FileExistsTest {
  protected:
    test::HostRun Shell(const std::string& commands, bool madeWhenDone) {
        const auto host = test::HostPath(folder.Path());
        if (!host) {
            return test::HostRun::NoHost;
        }
        return test::RunOnHost("/bin/sh", {"-c", "cd '" + *host + "' && " + commands},
                               [&] { return fs::exists(At("made")) == madeWhenDone; });
    }
    void TearDown() override {
        static_cast<void>(Shell("rm -f to-file to-folder dangling made", false));
    }
};

// Skipped only where there is no host to ask (not under Wine); a host shell that was started and
// did not make the links in time is a failure.
TEST_F(FileExistsLinkTest, LinksCountByWhatTheyLeadTo) {
    const test::HostRun made = Shell(
        "ln -s Quenmoor.ini to-file && ln -s Suporte to-folder && ln -s gone.ini dangling "
        "&& touch made",
        true);
    if (made == test::HostRun::NoHost) {
        GTEST_SKIP() << "no host shell to make symbolic links with (not under Wine)";
    }
    ASSERT_EQ(made, test::HostRun::Done) << "the host shell did not make the links in time";
    EXPECT_TRUE(Exists("to-file"));
    EXPECT_FALSE(Exists("to-folder"));
    EXPECT_FALSE(Exists("dangling"));
}

}  // namespace
}  // namespace quenmoor::platform::win32

#include "platform/linux/fs/stale_temporaries.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "support/folder_entries.h"
#include "support/linux/child_process.h"
#include "support/temp_folder.h"

namespace quenmoor::platform::posix {
namespace {

namespace fs = std::filesystem;

TEST(TemporaryFileOwnerTest, RecognisesOnlyItsOwnPattern) {
    const std::pair<std::string, std::optional<pid_t>> cases[] = {
        {".Quenmoor.ini.4242.aZ09xy", 4242},          {".Quenmoor.ini.4242.aZ09x", std::nullopt},
        {".Quenmoor.ini.4242.aZ09xyz", std::nullopt}, {".Quenmoor.ini..aZ09xy", std::nullopt},
        {".Quenmoor.ini.0.aZ09xy", std::nullopt},     {".Quenmoor.ini.042.aZ09xy", std::nullopt},
        {".Quenmoor.ini.-42.aZ09xy", std::nullopt},   {".Quenmoor.ini.4x2.aZ09xy", std::nullopt},
        {".Quenmoor.ini.42.aZ-9xy", std::nullopt},    {".Other.ini.4242.aZ09xy", std::nullopt},
        {"Quenmoor.ini.4242.aZ09xy", std::nullopt},   {"Quenmoor.ini", std::nullopt}};
    for (const auto& [entry, owner] : cases) {
        EXPECT_EQ(TemporaryFileOwner(entry, "Quenmoor.ini"), owner) << entry;
    }
    EXPECT_EQ(TemporaryNameTemplate("Quenmoor.ini", 77), ".Quenmoor.ini.77.XXXXXX");
}

// Removes the stale temporaries of "Quenmoor.ini" in `folder` from another process. Run by root,
// that process runs as nobody, so that the processes it must leave alone (this one, init) belong
// to another user and kill() answers it EPERM rather than success.
void RemoveFromAnotherProcess(const fs::path& folder) {
    const bool root = ::geteuid() == 0;
    if (root) {
        fs::permissions(folder, fs::perms::all);
    }
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        constexpr uid_t Nobody = 65534;
        if (root &&
            (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)) {
            ::_exit(1);
        }
        RemoveStaleTemporaries(folder.string(), "Quenmoor.ini");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
}

TEST(RemoveStaleTemporariesTest, RemovesOnlyRegularFilesOfEndedProcesses) {
    const test::TempFolder folder;
    const auto at = [&](const std::string& name) { return folder.Path() / name; };
    const std::string dead = std::to_string(test::EndedProcessId());
    const std::string alive = std::to_string(::getpid());
    test::WriteBytes(at(".Quenmoor.ini." + dead + ".abc123"), "left by a killed run");
    test::WriteBytes(at(".Quenmoor.ini." + alive + ".abc123"), "in use");
    test::WriteBytes(at(".Quenmoor.ini.1.abc123"), "init never ends");
    test::WriteBytes(at(".Other.ini." + dead + ".abc123"), "another file's");
    test::WriteBytes(at("Quenmoor.ini"), "the profile");
    fs::create_directory(at(".Quenmoor.ini." + dead + ".dir123"));
    fs::create_symlink("Quenmoor.ini", at(".Quenmoor.ini." + dead + ".lnk123"));

    RemoveFromAnotherProcess(folder.Path());

    std::vector<std::string> expected{".Other.ini." + dead + ".abc123",
                                      ".Quenmoor.ini." + dead + ".dir123",
                                      ".Quenmoor.ini." + dead + ".lnk123",
                                      ".Quenmoor.ini." + alive + ".abc123",
                                      ".Quenmoor.ini.1.abc123",
                                      "Quenmoor.ini"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::FolderEntries(folder.Path()), expected);
}

}  // namespace
}  // namespace quenmoor::platform::posix

#include "platform/posix/fs/stale_temporaries.h"

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

// The pid of a process that has ended and been reaped.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

TEST(RemoveStaleTemporariesTest, RemovesOnlyRegularFilesOfEndedProcesses) {
    const test::TempFolder folder;
    const auto at = [&](const std::string& name) { return folder.Path() / name; };
    const std::string dead = std::to_string(EndedProcess());
    const std::string alive = std::to_string(::getpid());
    test::WriteBytes(at(".Quenmoor.ini." + dead + ".abc123"), "left by a killed run");
    test::WriteBytes(at(".Quenmoor.ini." + alive + ".abc123"), "in use");
    test::WriteBytes(at(".Quenmoor.ini.1.abc123"), "init never ends");
    test::WriteBytes(at(".Other.ini." + dead + ".abc123"), "another file's");
    test::WriteBytes(at("Quenmoor.ini"), "the profile");
    fs::create_directory(at(".Quenmoor.ini." + dead + ".dir123"));

    RemoveStaleTemporaries(folder.Path().string(), "Quenmoor.ini");

    std::vector<std::string> expected{
        ".Other.ini." + dead + ".abc123", ".Quenmoor.ini." + dead + ".dir123",
        ".Quenmoor.ini." + alive + ".abc123", ".Quenmoor.ini.1.abc123", "Quenmoor.ini"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::FolderEntries(folder.Path()), expected);
}

}  // namespace
}  // namespace quenmoor::platform::posix

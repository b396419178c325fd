// The built program against faults of the machine and hostile profiles: every run ends quietly
// with status 0, and the profile is either untouched or correctly changed, byte for byte. The
// ordinary program-level cases (line ends, encodings, the gate, a copy already there, read-only
// and unreadable profiles) are the table in tests/scenarios, run natively and under Wine; here
// are the ones that need a fault made, a memory bound measured or a rule of the POSIX layer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "app/links.h"
#include "posix/program_fixture.h"
#include "support/file_bytes.h"
#include "support/folder_entries.h"
#include "support/linux/mount_namespace.h"

namespace quenmoor::test {
namespace {

namespace fs = std::filesystem;

// Sets or clears the immutable flag, which refuses changes to root as well.
void SetImmutable(const fs::path& path, bool on) {
    const std::string command =
        std::string("chattr ") + (on ? "+i" : "-i") + " '" + path.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0 && on) {
        GTEST_SKIP() << "chattr +i is not supported here";
    }
}

struct ContentCase {
    const char* what;
    std::function<std::string()> profile;
    bool changes;  // whether the run can update it, or must leave it as it is
};

class ProfileContentTest : public ProgramTest, public testing::WithParamInterface<ContentCase> {};

TEST_P(ProfileContentTest, UpdatedCorrectlyOrLeftAlone) {
    const std::string before = GetParam().profile();
    WriteBytes(Source(), before);
    const ChildOutcome outcome = Run();
    ExpectQuiet(outcome);
    ExpectMemoryBounded(outcome, before.size());
    const std::string after = ReadBytes(Source());
    if (GetParam().changes) {
        EXPECT_EQ(after, Updated(before));
        EXPECT_EQ(ReadBytes(Target()), after);
    } else {
        EXPECT_EQ(after, before);
        EXPECT_FALSE(fs::exists(Target()));
    }
    EXPECT_TRUE(StrayFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ProfileContentTest,
    testing::Values(ContentCase{"a 1 MB line",
                                [] {
                                    return StaleProfile(
                                        "\r\n", "", "LOGO=" + std::string(1 << 20, 'Q') + "\r\n");
                                },
                                true},
                    // A NUL byte in a text profile most likely means UTF-16 without its mark: the
                    // profile layer will not rewrite what it cannot be sure to read right.
                    ContentCase{
                        "NUL bytes",
                        [] { return StaleProfile("\r\n", std::string("BIN=a\0b", 7) + "\r\n"); },
                        false}),
    [](const testing::TestParamInfo<ContentCase>& param) {
        std::string name;
        for (const char c : std::string(param.param.what)) {
            name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
        }
        return name;
    });

TEST_F(ProgramTest, TwentyMegabyteProfile) {
    // Many more keys per branch, as a profile grown over the years.
    const auto profile = [] {
        const std::string filler =
            "CONFIG_" + std::string(180, 'z') + "=" + std::string(20, '1') + "\r\n";
        std::string block;
        while (block.size() < (205U << 10)) {
            block += filler;
        }
        // Only the default section's links are stale: rewriting 20 MB 202 times would test the
        // disk, not the program.
        std::string text = StaleProfile("\r\n", block);
        const std::size_t branches = text.find("[FILIAL_00]");
        text.replace(branches, std::string::npos, Updated(text.substr(branches)));
        return text;
    };
    std::size_t size = 0;
    {
        // Released before the run: the child's measured peak would include it.
        const std::string before = profile();
        size = before.size();
        WriteBytes(Source(), before);
    }
    ASSERT_GT(size, 20U << 20);
    const ChildOutcome outcome = Run(ChildOptions::Timeout(std::chrono::minutes(10)));
    ExpectQuiet(outcome);
    ExpectMemoryBounded(outcome, size);
    EXPECT_TRUE(ReadBytes(Source()) == Updated(profile()));
}

TEST_F(ProgramTest, ReadOnlyProfileOrFolderIsLeftAsItIs) {
    const std::string before = StaleProfile();
    const std::pair<const char*, std::function<void(bool)>> faults[] = {
        {"immutable profile", [](bool on) { SetImmutable(Source(), on); }},
        {"immutable folder", [](bool on) { SetImmutable(Source().parent_path(), on); }}};
    for (const auto& [what, fault] : faults) {
        WriteBytes(Source(), before);
        fault(true);
        if (testing::Test::IsSkipped()) {
            return;
        }
        ExpectQuiet(Run());
        fault(false);
        EXPECT_EQ(ReadBytes(Source()), before) << what;
        EXPECT_FALSE(fs::exists(Target())) << what;
        EXPECT_TRUE(StrayFiles().empty()) << what;
    }
}

TEST_F(ProgramTest, NothingUsableAtTheProfilePath) {
    const std::pair<const char*, std::function<void()>> occupants[] = {
        {"missing folder", [] { fs::remove_all(Source().parent_path()); }},
        {"no C:\\Ostrel at all", [] { fs::remove_all(DriveRoot() / "Ostrel"); }},
        {"FIFO", [] { ASSERT_EQ(::mkfifo(Source().c_str(), 0644), 0); }},
        {"dangling link", [] { fs::create_symlink(Source().string() + ".gone", Source()); }},
        {"link loop", [] { fs::create_symlink(Source(), Source()); }}};
    // Root's run is a service's, whose trust test refuses a FIFO or a link at the profile before
    // the existence test would look; an ordinary user's run still comes to the existence test,
    // and could open the FIFO, which it must not wait on.
    ChildOptions options =
        ::geteuid() == 0
            ? ChildOptions::Under({"setpriv", "--reuid=1000", "--regid=1000", "--clear-groups"})
            : ChildOptions{};
    options.timeout = std::chrono::seconds(20);
    for (const auto& [what, occupy] : occupants) {
        SetUp();
        occupy();
        const bool folder = fs::exists(Source().parent_path());
        const auto before = folder ? fs::symlink_status(Source()).type() : fs::file_type::not_found;
        const ChildOutcome outcome = Run(options);
        ExpectQuiet(outcome);
        EXPECT_FALSE(outcome.hung) << what;
        EXPECT_EQ(fs::exists(Source().parent_path()), folder) << what;  // nothing made on the way
        EXPECT_EQ(fs::symlink_status(Source()).type(), before) << what;
        EXPECT_FALSE(fs::exists(Target())) << what;
    }
}

TEST_F(ProgramTest, WhateverIsAtTheTargetIsKept) {
    const std::string before = StaleProfile();
    const std::pair<const char*, std::function<void()>> occupants[] = {
        {"folder", [] { fs::create_directory(Target()); }},
        {"dangling link", [] { fs::create_symlink(Target().string() + ".gone", Target()); }}};
    for (const auto& [what, occupy] : occupants) {
        SetUp();
        WriteBytes(Source(), before);
        occupy();
        const auto kept = fs::symlink_status(Target()).type();
        ExpectQuiet(Run());
        EXPECT_EQ(ReadBytes(Source()), Updated(before)) << what;
        EXPECT_EQ(fs::symlink_status(Target()).type(), kept) << what;
        EXPECT_FALSE(fs::exists(Target().string() + ".gone")) << what;
    }
}

TEST_F(ProgramTest, FullDiskRefusesTheWriteAndKeepsTheProfile) {
    // A 256 KiB file system holding a profile of about 180 KiB: the profile fits, a second copy
    // of it (the replacement being written) does not.
    const auto disk = TmpfsNamespace::Create(Source().parent_path(), 256U << 10);
    if (!disk) {
        GTEST_SKIP() << "cannot mount a tmpfs in a private mount namespace (needs root)";
    }
    const std::string before = StaleProfile("\r\n", "NOTA=" + std::string(1600, 'n') + "\r\n");
    ASSERT_GT(before.size(), 160U << 10);
    WriteBytes(disk->Inside(Source()), before);
    const ChildOutcome outcome = Run(ChildOptions::InMountNamespaceOf(disk->Holder()));
    ExpectQuiet(outcome);
    EXPECT_EQ(ReadBytes(disk->Inside(Source())), before);
    EXPECT_EQ(FolderEntries(disk->Inside(Source().parent_path())),
              std::vector<std::string>{Source().filename().string()})
        << "no temporary file may be left on the full disk";
    EXPECT_FALSE(fs::exists(Target()));
}

// Two runs at once (the scheduled one and one started by hand): a run that finds another's
// temporary file beside the profile leaves it alone while that process runs, since removing it
// would make the other run's write fail, and removes it once its process has ended.
TEST_F(ProgramTest, TemporaryFileOfAnotherRunIsKeptWhileThatRunLives) {
    struct Case {
        const char* what;
        pid_t owner;
        bool kept;
    };
    const auto cases =
        std::to_array<Case>({{"a process still running (this test)", ::getpid(), true},
                             {"a process that has ended", EndedProcessId(), false}});
    for (const Case& c : cases) {
        SetUp();
        WriteBytes(Source(), OneStaleLinkProfile());
        const fs::path other =
            Source().parent_path() / (".Quenmoor.ini." + std::to_string(c.owner) + ".a1B2c3");
        WriteBytes(other, "another run's profile, half written");
        ExpectQuiet(Run());
        EXPECT_EQ(ReadBytes(Source()), Updated(OneStaleLinkProfile())) << c.what;
        EXPECT_EQ(fs::exists(other), c.kept) << c.what;
    }
}

// Memory running out is a failure like any other: under an address-space limit smaller than
// the profile, whose first read then fails, the run ends quietly and changes nothing; an
// ordinary profile under the same limit is updated, so the limit leaves room for a whole run.
TEST_F(ProgramTest, MemoryRunningOutChangesNothing) {
    if (QUENMOOR_TEST_SANITIZED) {
        GTEST_SKIP() << "AddressSanitizer needs terabytes of address space for its shadow "
                        "memory, and its operator new ends the process instead of throwing";
    }
    constexpr std::size_t Limit = std::size_t{16} << 20U;
    const std::string ordinary = OneStaleLinkProfile();
    const auto profiles = std::to_array<std::pair<std::string, bool>>(
        {{ordinary, true}, {ordinary + "LOGO=" + std::string(Limit + (Limit / 2), 'Q'), false}});
    for (const auto& [before, changes] : profiles) {
        SetUp();
        WriteBytes(Source(), before);
        ExpectQuiet(Run(ChildOptions::AddressSpaceLimit(Limit)));
        EXPECT_TRUE(ReadBytes(Source()) == (changes ? Updated(before) : before))
            << before.size() << " bytes";
        EXPECT_EQ(fs::exists(Target()), changes) << before.size() << " bytes";
        EXPECT_TRUE(StrayFiles().empty());
    }
}

// The check fails closed: under the same limit, a profile too large to read never reads as
// current (status 0) but as one that could not be read, while an ordinary current one does.
TEST_F(ProgramTest, CheckRunningOutOfMemoryNeverSaysCurrent) {
    if (QUENMOOR_TEST_SANITIZED) {
        GTEST_SKIP() << "AddressSanitizer cannot start under an address-space limit";
    }
    constexpr std::size_t Limit = std::size_t{16} << 20U;
    const std::string current = Updated(OneStaleLinkProfile());
    const auto profiles = std::to_array<std::pair<std::string, int>>(
        {{current, app::UnconfiguredBuild ? 7 : 0},
         {current + "LOGO=" + std::string(Limit + (Limit / 2), 'Q'), 5}});
    for (const auto& [before, status] : profiles) {
        SetUp();
        WriteBytes(Source(), before);
        WriteBytes(Target(), before);
        const ChildOutcome outcome =
            RunChild(QUENMOOR_TEST_CHECK, ChildOptions::AddressSpaceLimit(Limit));
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.exitStatus, status) << before.size() << " bytes: " << outcome.output;
        EXPECT_TRUE(ReadBytes(Source()) == before);
    }
}

// Whether process `pid` has stopped (or ended), from the state letter in /proc.
bool HasStopped(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto end = line.rfind(')');
    const char state = end != std::string::npos && end + 2 < line.size() ? line[end + 2] : 'X';
    return std::string_view("TtZX").find(state) != std::string_view::npos;
}

TEST_F(ProgramTest, AnotherWriterDuringTheRunLosesNothing) {
    // Another program replaces the profile (as a careful editor does: new file, rename) while one
    // of the run's writes is under way: it stops the run as soon as the run's temporary file
    // (".Quenmoor.ini.<pid>.XXXXXX") appears and, if that file is still there, so not yet renamed
    // over the profile, puts its own version in place before letting the run go on. Each
    // replacement is a version of its own; the editor's last one must survive, with or without
    // the run's updates, never overwritten by a write based on an older version.
    const auto version = [](int n) {
        return StaleProfile("\r\n", "EDITOR=" + std::to_string(n) + "\r\n");
    };
    WriteBytes(Source(), version(0));
    const fs::path folder = Source().parent_path();
    const std::string runTemporary = "." + Source().filename().string() + ".";
    std::atomic<bool> stop = false;
    int replaced = 0;
    std::thread editor([&] {
        std::set<std::string> seen;
        while (!stop && replaced < 10) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                const std::string name = entry.path().filename().string();
                if (!name.starts_with(runTemporary) || !seen.insert(name).second) {
                    continue;
                }
                const auto pid = static_cast<pid_t>(std::stol(name.substr(runTemporary.size())));
                if (::kill(pid, SIGSTOP) != 0) {
                    break;
                }
                while (!HasStopped(pid)) {
                    std::this_thread::yield();
                }
                if (fs::exists(entry.path())) {
                    const fs::path scratch = folder / "editor-scratch";
                    WriteBytes(scratch, version(++replaced));
                    fs::rename(scratch, Source());
                }
                ::kill(pid, SIGCONT);
                break;
            }
        }
    });
    const ChildOutcome outcome = Run();
    stop = true;
    editor.join();
    ExpectQuiet(outcome);
    ASSERT_GT(replaced, 0) << "the editor never caught the run writing";
    EXPECT_EQ(Restored(ReadBytes(Source())), version(replaced))
        << "the editor's last version was overwritten";
}

}  // namespace
}  // namespace quenmoor::test

// The built program killed with SIGKILL at random moments of a run that rewrites every link:
// whenever it dies, the profile is complete, each link and the version hold their old or their
// new value, nothing else differs, and the next run cleans up after it.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "posix/program_fixture.h"
#include "support/file_bytes.h"

namespace quenmoor::test {
namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;

constexpr int Kills = 200;

TEST_F(ProgramTest, KilledAtAnyMomentLeavesAConsistentProfile) {
    const std::string stale = StaleProfile();
    const std::string updated = Updated(stale);

    // How long an undisturbed run takes sets the range of the kill moments.
    WriteBytes(Source(), stale);
    const auto start = std::chrono::steady_clock::now();
    ExpectQuiet(Run());
    const auto fullRun = duration_cast<microseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_EQ(ReadBytes(Source()), updated);

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> moment(0, fullRun.count() * 5 / 4);
    // Where the kills landed: before the first write, between writes, after the last one.
    int untouched = 0;
    int partial = 0;
    int complete = 0;
    std::string after;
    for (int kill = 0; kill < Kills; ++kill) {
        WriteBytes(Source(), stale);
        std::filesystem::remove(Target());
        Run(ChildOptions::KillAfter(microseconds(moment(random))));

        after = ReadBytes(Source());
        ++(after == stale ? untouched : after == updated ? complete : partial);
        ASSERT_EQ(Restored(after), stale)
            << "kill " << kill << " (seed " << seed << ") left a damaged profile";
        if (after.find("VERSAO=8") != std::string::npos) {
            ASSERT_EQ(after, updated) << "the version is written only after every link";
        }
        if (std::filesystem::exists(Target())) {
            ASSERT_EQ(ReadBytes(Target()), updated) << "a copy is complete or absent";
        }
        // At most the temporary file of the run just killed; older ones are gone.
        ASSERT_LE(StrayFiles().size(), 1U) << "kill " << kill << " (seed " << seed << ")";
    }
    RecordProperty("untouched", untouched);
    RecordProperty("partial", partial);
    RecordProperty("complete", complete);
    EXPECT_GE(partial, Kills / 5) << "too few kills landed between two writes: " << untouched
                                  << " before the first, " << complete << " after the last";

    // The next run finishes the work the last killed one began, or advances the version once
    // more if that one had finished.
    std::string expected = updated;
    if (after == updated) {
        expected.replace(expected.find("VERSAO=8"), 8, "VERSAO=9");
    }
    ExpectQuiet(Run());
    EXPECT_EQ(ReadBytes(Source()), expected);
    EXPECT_TRUE(StrayFiles().empty()) << "the next run removes what a killed one left";
    EXPECT_TRUE(StrayFiles(Target().parent_path()).empty());
}

}  // namespace
}  // namespace quenmoor::test

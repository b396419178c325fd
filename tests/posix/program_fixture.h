// Runs the built program at its real paths below the build's drive root, over profiles whose
// links are all stale, and judges what it left behind.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/linux/child_process.h"

namespace quenmoor::test {

// The links as stale profiles hold them, and as the program writes them.
inline const std::string OldFaq = "http://glpi.old.example/front/helpdesk.public.php";
inline const std::string OldPortal = "http://portal.old.example/?h=%hash%&u=%user%";
std::string NewFaq();
std::string NewPortal();

// A profile of DEFAULT (VERSAO=7) and FILIAL_00..99, every link stale, lines ended by `eol`;
// `extra` goes into every section as one more key line, `extraIn50` only into FILIAL_50.
std::string StaleProfile(const std::string& eol = "\r\n", const std::string& extra = "",
                         const std::string& extraIn50 = "");

// A profile whose only stale link is the default section's help-desk link: a run writes that
// link, then the version, then makes the copy.
std::string OneStaleLinkProfile();

// What a complete run makes of `profile`: every stale link replaced and VERSAO=7 made 8, and not
// one other byte changed.
std::string Updated(std::string profile);

// `profile` with updated links and version turned back into stale ones: a profile that a run
// left at any point, however it ended, gives back exactly the profile it started from.
std::string Restored(std::string profile);

class ProgramTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    [[nodiscard]] static const std::filesystem::path& DriveRoot();
    [[nodiscard]] static std::filesystem::path Base();
    [[nodiscard]] static std::filesystem::path Source();
    [[nodiscard]] static std::filesystem::path Target();

    static ChildOutcome Run(const ChildOptions& options = {});
    // Exit status 0, no output at all, not hung.
    static void ExpectQuiet(const ChildOutcome& outcome);
    // The peak memory stays under three times the profile's size plus 16 MB.
    static void ExpectMemoryBounded(const ChildOutcome& outcome, std::size_t profileSize);
    // Names in `folder` (the profile's, unless told) other than the profile's own name.
    static std::vector<std::string> StrayFiles(
        const std::filesystem::path& folder = Source().parent_path());
};

}  // namespace quenmoor::test

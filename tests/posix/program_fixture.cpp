#include "posix/program_fixture.h"

#include <sys/stat.h>

#include <string_view>

#include "app/links.h"
#include "support/folder_entries.h"

namespace quenmoor::test {
namespace {

namespace fs = std::filesystem;

std::string Narrow(std::u16string_view ascii) { return {ascii.begin(), ascii.end()}; }

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

std::string NewFaq() { return Narrow(app::FaqLink); }
std::string NewPortal() { return Narrow(app::PortalLink); }

std::string StaleProfile(const std::string& eol, const std::string& extra,
                         const std::string& extraIn50) {
    const auto section = [&](const std::string& name) {
        return "[" + name + "]" + eol + "LOJA=" + name + eol + extra +
               "CHAMADA_ATEND_GLPI=" + OldFaq + eol + "CHAMADA_ATEND_PORTAL=" + OldPortal + eol;
    };
    std::string text = "; settings of the support application" + eol + "[DEFAULT]" + eol +
                       "VERSAO=7" + eol + section("DEFAULT").substr(9 + eol.size());
    for (int n = 0; n < 100; ++n) {
        const std::string name = std::string("FILIAL_") + char('0' + n / 10) + char('0' + n % 10);
        text += section(name);
        if (n == 50) {
            text += extraIn50;
        }
    }
    return text;
}

std::string OneStaleLinkProfile() {
    return "[DEFAULT]\r\nVERSAO=7\r\nCHAMADA_ATEND_GLPI=" + OldFaq +
           "\r\nCHAMADA_ATEND_PORTAL=" + NewPortal() + "\r\n";
}

std::string Updated(std::string profile) {
    ReplaceAll(profile, "VERSAO=7", "VERSAO=8");
    ReplaceAll(profile, "=" + OldFaq, "=" + NewFaq());
    ReplaceAll(profile, "=" + OldPortal, "=" + NewPortal());
    return profile;
}

std::string Restored(std::string profile) {
    ReplaceAll(profile, "VERSAO=8", "VERSAO=7");
    ReplaceAll(profile, "=" + NewFaq(), "=" + OldFaq);
    ReplaceAll(profile, "=" + NewPortal(), "=" + OldPortal);
    return profile;
}

const fs::path& ProgramTest::DriveRoot() {
    static const fs::path root(QUENMOOR_TEST_DRIVE_ROOT);
    return root;
}
fs::path ProgramTest::Base() { return DriveRoot() / "Ostrel" / "Tessarin"; }
fs::path ProgramTest::Source() { return Base() / "Palvendo" / "Suporte" / "Quenmoor.ini"; }
fs::path ProgramTest::Target() { return Base() / "Programs" / "Quenmoor.ini"; }

void ProgramTest::SetUp() {
    // Whatever the caller's umask: the program refuses folders that others may write.
    ::umask(022);
    fs::remove_all(DriveRoot() / "Ostrel");
    fs::create_directories(Source().parent_path());
    fs::create_directories(Target().parent_path());
}

void ProgramTest::TearDown() {
    std::error_code ignored;
    fs::remove_all(DriveRoot() / "Ostrel", ignored);
}

ChildOutcome ProgramTest::Run(const ChildOptions& options) {
    return RunChild(QUENMOOR_TEST_PROGRAM, options);
}

void ProgramTest::ExpectQuiet(const ChildOutcome& outcome) {
    EXPECT_FALSE(outcome.hung);
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(outcome.errors, "");
}

void ProgramTest::ExpectMemoryBounded(const ChildOutcome& outcome, std::size_t profileSize) {
    if (QUENMOOR_TEST_SANITIZED) {
        return;  // the sanitizers' shadow memory is not the program's
    }
    constexpr long long Slack = 16LL << 20;
    EXPECT_LT(outcome.peakBytes, 3 * static_cast<long long>(profileSize) + Slack);
}

std::vector<std::string> ProgramTest::StrayFiles(const fs::path& folder) {
    std::vector<std::string> names = FolderEntries(folder);
    std::erase(names, Source().filename().string());
    return names;
}

}  // namespace quenmoor::test

// The whole run over real profile files, through whichever profile functions the platform has.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/links.h"
#include "app/update_run.h"
#include "profile/ini_file.h"
#include "profile/ini_file_exception.h"
#include "support/file_bytes.h"
#include "support/read_only.h"
#include "support/temp_folder.h"

namespace quenmoor::app {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

const std::string Faq(FaqLink.begin(), FaqLink.end());
const std::string Portal(PortalLink.begin(), PortalLink.end());
constexpr char16_t Absent[] = u"<absent>";

class RunUpdateTest : public testing::Test {
  protected:
    test::TempFolder folder;
    fs::path source = folder.Path() / "Suporte" / "Quenmoor.ini";
    fs::path target = folder.Path() / "Programs" / "Quenmoor.ini";

    void SetUp() override {
        fs::create_directories(source.parent_path());
        fs::create_directories(target.parent_path());
    }

    void Run() { RunUpdate(source.u16string(), target.u16string()); }

    std::u16string Value(const std::u16string& section, const std::u16string& key) {
        profile::TIniFile profile(source.u16string());
        return profile.ReadString(section, key, Absent);
    }
};

TEST_F(RunUpdateTest, TypicalRunRefreshesAdvancesAndCopies) {
    WriteBytes(
        source,
        "[DEFAULT]\r\nVERSAO=7\r\nCHAMADA_ATEND_GLPI=http://old.example/glpi\r\n"
        "CHAMADA_ATEND_PORTAL=http://old.example/portal\r\nLOJA=Centro\r\n"
        "[FILIAL_00]\r\nCHAMADA_ATEND_GLPI=" +
            Faq +
            "\r\nCHAMADA_ATEND_PORTAL=\r\n"
            "[FILIAL_07]\r\nCHAMADA_ATEND_GLPI=" +
            Faq.substr(0, 8) + "WWW" + Faq.substr(11) +
            "\r\n[FILIAL_99]\r\nCHAMADA_ATEND_PORTAL=old\r\n"
            "[FILIAL_100]\r\nCHAMADA_ATEND_GLPI=old\r\n[FILIAL_5]\r\nCHAMADA_ATEND_GLPI=old\r\n");
    Run();
    const std::u16string faq(FaqLink);
    const std::u16string portal(PortalLink);
    EXPECT_EQ(Value(u"DEFAULT", u"VERSAO"), u"8");
    EXPECT_EQ(Value(u"DEFAULT", u"CHAMADA_ATEND_GLPI"), faq);
    EXPECT_EQ(Value(u"DEFAULT", u"CHAMADA_ATEND_PORTAL"), portal);
    EXPECT_EQ(Value(u"DEFAULT", u"LOJA"), u"Centro");
    EXPECT_EQ(Value(u"FILIAL_00", u"CHAMADA_ATEND_GLPI"), faq);
    EXPECT_EQ(Value(u"FILIAL_00", u"CHAMADA_ATEND_PORTAL"), u"") << "a blank key stays blank";
    EXPECT_EQ(Value(u"FILIAL_07", u"CHAMADA_ATEND_GLPI"), faq) << "other letter case is rewritten";
    EXPECT_EQ(Value(u"FILIAL_07", u"CHAMADA_ATEND_PORTAL"), Absent) << "absent keys stay absent";
    EXPECT_EQ(Value(u"FILIAL_99", u"CHAMADA_ATEND_PORTAL"), portal);
    EXPECT_EQ(Value(u"FILIAL_01", u"CHAMADA_ATEND_GLPI"), Absent) << "no section is created";
    EXPECT_EQ(Value(u"FILIAL_100", u"CHAMADA_ATEND_GLPI"), u"old") << "not a branch section";
    EXPECT_EQ(Value(u"FILIAL_5", u"CHAMADA_ATEND_GLPI"), u"old") << "not a branch section";
    EXPECT_EQ(ReadBytes(target), ReadBytes(source)) << "the copy is the updated profile";
}

TEST_F(RunUpdateTest, GateLeavesTheProfileUntouchedAndCopiesNothing) {
    for (const std::string versionLine : {"", "VERSAO=\r\n", "VERSAO=0\r\n", "VERSAO=abc\r\n",
                                          "VERSAO=12abc\r\n", "VERSAO=0x\r\n"}) {
        const std::string before =
            "[DEFAULT]\r\n" + versionLine + "CHAMADA_ATEND_GLPI=http://old.example/\r\n";
        WriteBytes(source, before);
        Run();
        EXPECT_EQ(ReadBytes(source), before) << versionLine;
        EXPECT_FALSE(fs::exists(target)) << versionLine;
    }
}

TEST_F(RunUpdateTest, NothingHappensWithoutAProfileFile) {
    Run();
    EXPECT_FALSE(fs::exists(source));
    EXPECT_FALSE(fs::exists(target));

    fs::create_directory(source);  // a folder where the profile should be
    Run();
    EXPECT_TRUE(fs::is_directory(source));
    EXPECT_TRUE(fs::is_empty(source));
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(RunUpdateTest, ExistingCopyIsKeptAndVersionStillAdvances) {
    WriteBytes(source, "[DEFAULT]\r\nVERSAO=-1\r\nCHAMADA_ATEND_GLPI=" + Faq + "\r\n");
    WriteBytes(target, "old copy");
    Run();
    EXPECT_EQ(Value(u"DEFAULT", u"VERSAO"), u"0");
    EXPECT_EQ(ReadBytes(target), "old copy");
}

TEST_F(RunUpdateTest, MissingTargetFolderIsNoFailure) {
    fs::remove(target.parent_path());
    WriteBytes(source, "[DEFAULT]\r\nVERSAO=2147483647\r\n");
    EXPECT_NO_THROW(Run());
    EXPECT_EQ(Value(u"DEFAULT", u"VERSAO"), u"-2147483648");
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(RunUpdateTest, ReadOnlyProfileRefusesTheFirstDueWrite) {
    // The first due write is a stale link in one profile and the version write in the other.
    for (const std::string& links :
         {std::string("[FILIAL_01]\r\nCHAMADA_ATEND_GLPI=http://old.example/\r\n"),
          "CHAMADA_ATEND_GLPI=" + Faq + "\r\n[FILIAL_01]\r\nCHAMADA_ATEND_PORTAL=" + Portal +
              "\r\n"}) {
        const std::string before = "[DEFAULT]\r\nVERSAO=7\r\n" + links;
        WriteBytes(source, before);
        const test::ReadOnlyFile readOnly(source);
        if (!readOnly.Refuses()) {
            GTEST_SKIP() << "no way to refuse writes to root here (Wine as root without chattr +i)";
        }
        EXPECT_THROW(Run(), profile::EIniFileException) << links;
        EXPECT_EQ(ReadBytes(source), before) << links;
        EXPECT_FALSE(fs::exists(target)) << links;
    }
}

}  // namespace
}  // namespace quenmoor::app

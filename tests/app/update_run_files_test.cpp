// One whole run over real profile files, in process, through whichever profile functions the
// platform has. The program-level cases (the gate, no profile, a copy already there, read-only and
// the rest) are the table in tests/scenarios, run on the built programs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/links.h"
#include "app/update_run.h"
#include "profile/ini_file.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace quenmoor::app {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

const std::string Faq(FaqLink.begin(), FaqLink.end());
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

}  // namespace
}  // namespace quenmoor::app

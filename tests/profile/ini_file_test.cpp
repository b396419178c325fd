// TIniFile over real files, through whichever profile functions the platform has.
#include "profile/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "profile/ini_file_exception.h"
#include "support/file_bytes.h"
#include "support/read_only.h"
#include "support/temp_folder.h"

namespace quenmoor::profile {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

class IniFileTest : public testing::Test {
  protected:
    TempFolder folder;
    std::filesystem::path path = folder.Path() / "Quenmoor.ini";
    std::u16string fileName = path.u16string();
};

TEST_F(IniFileTest, CreateTouchesNothingAndMissingValuesReadAsDefault) {
    {
        TIniFile profile(fileName);
        EXPECT_EQ(profile.FileName(), fileName);
        EXPECT_EQ(profile.ReadString(u"DEFAULT", u"VERSAO", u""), u"");
        EXPECT_EQ(profile.ReadString(u"DEFAULT", u"VERSAO", u"fallback"), u"fallback");
        EXPECT_EQ(profile.ReadInteger(u"DEFAULT", u"VERSAO", 17), 17);
    }
    // Neither reading nor destroying the object (its flush call) creates the file.
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(IniFileTest, ReadsWhatIsInTheFile) {
    WriteBytes(path, "[DEFAULT]\r\nVERSAO=7\r\nNAME=Loja\r\n[FILIAL_01]\r\nVERSAO=0x1F\r\n");
    TIniFile profile(fileName);
    EXPECT_EQ(profile.ReadString(u"DEFAULT", u"NAME", u""), u"Loja");
    EXPECT_EQ(profile.ReadString(u"FILIAL_01", u"NAME", u"none"), u"none");
    EXPECT_EQ(profile.ReadString(u"FILIAL_02", u"NAME", u"none"), u"none");
    EXPECT_EQ(profile.ReadInteger(u"DEFAULT", u"VERSAO", 0), 7);
    EXPECT_EQ(profile.ReadInteger(u"FILIAL_01", u"VERSAO", 0), 31);
}

TEST_F(IniFileTest, ReadIntegerFollowsTheIntegerTextRules) {
    struct Case {
        const char* stored;
        std::int32_t expected;
    };
    // The text rules themselves are TryTextToInteger's; here only that a value read from the
    // file goes through them, and that text they refuse gives the default.
    const Case cases[] = {{"-$10", -16}, {"12abc", -9}, {"", -9}};
    TIniFile profile(fileName);
    for (const auto& c : cases) {
        WriteBytes(path, std::string("[S]\r\nN=") + c.stored + "\r\n");
        EXPECT_EQ(profile.ReadInteger(u"S", u"N", -9), c.expected) << "stored: " << c.stored;
    }
}

TEST_F(IniFileTest, WritesAreReadBackAndIntegersStoredAsDecimal) {
    TIniFile profile(fileName);
    profile.WriteString(u"DEFAULT", u"CHAMADA_ATEND_GLPI", u"https://a.example/faq/");
    profile.WriteInteger(u"DEFAULT", u"VERSAO", -5);
    profile.WriteInteger(u"FILIAL_00", u"VERSAO", 0);
    profile.WriteString(u"FILIAL_00", u"EMPTY", u"");
    EXPECT_EQ(profile.ReadString(u"DEFAULT", u"CHAMADA_ATEND_GLPI", u""),
              u"https://a.example/faq/");
    EXPECT_EQ(profile.ReadString(u"DEFAULT", u"VERSAO", u""), u"-5");
    EXPECT_EQ(profile.ReadString(u"FILIAL_00", u"VERSAO", u""), u"0");
    // An empty value is stored, not taken as a request to remove the key.
    EXPECT_EQ(profile.ReadString(u"FILIAL_00", u"EMPTY", u"absent"), u"");
}

TEST_F(IniFileTest, LongValuesAreCutToTheReadBuffer) {
    const std::string value(3000, 'v');
    WriteBytes(path, "[S]\r\nK=" + value + "\r\n");
    TIniFile profile(fileName);
    EXPECT_EQ(profile.ReadString(u"S", u"K", u""), std::u16string(2047, u'v'));
}

TEST_F(IniFileTest, RefusedWriteRaisesNamingTheFileAndChangesNothing) {
    const std::string before = "[DEFAULT]\r\nVERSAO=7\r\n";
    WriteBytes(path, before);
    const test::ReadOnlyFile readOnly(path);
    if (!readOnly.Refuses()) {
        GTEST_SKIP() << "no way to refuse writes to root here (Wine as root without chattr +i)";
    }
    TIniFile profile(fileName);
    try {
        profile.WriteInteger(u"DEFAULT", u"VERSAO", 8);
        ADD_FAILURE() << "a write to a read-only profile must be refused";
    } catch (const EIniFileException& failure) {
        EXPECT_EQ(failure.Message(), u"Unable to write to " + fileName);
    }
    // The object stays usable after a refused write.
    EXPECT_EQ(profile.ReadInteger(u"DEFAULT", u"VERSAO", 0), 7);
    EXPECT_EQ(ReadBytes(path), before);
}

}  // namespace
}  // namespace quenmoor::profile

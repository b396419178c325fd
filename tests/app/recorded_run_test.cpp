// The run and TIniFile against a recorded platform: which calls reach the platform, in what
// order, the flush and the copy included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/check_run.h"
#include "app/links.h"
#include "app/update_run.h"
#include "profile/ini_file.h"
#include "profile/ini_file_exception.h"
#include "support/recording_profile.h"

namespace quenmoor::app {
namespace {

using namespace std::string_literals;

const std::u16string Source = u"C:\\Suporte\\Quenmoor.ini";
const std::u16string Target = u"C:\\Programs\\Quenmoor.ini";
const std::u16string Faq(FaqLink);
const std::u16string Portal(PortalLink);

class RecordedTest : public testing::Test {
  protected:
    test::ProfileRecording& platform = test::Recorded();
    void SetUp() override { platform = {}; }

    // The journal without the link reads: what the run decided.
    [[nodiscard]] std::vector<std::u16string> Decisions() const {
        std::vector<std::u16string> kept;
        for (const auto& call : platform.calls) {
            if (!call.starts_with(u"R ") || call.starts_with(u"R DEFAULT/VERSAO")) {
                kept.push_back(call);
            }
        }
        return kept;
    }
};

struct RunCase {
    const char* what;
    bool exists;
    const char16_t* version;  // null: no VERSAO key
    bool staleLink;           // the default help-desk link is due for a write
    int refusedWrite;         // 0: none
    bool fails;
    std::vector<std::u16string> decisions;
};

const std::u16string Exists = u"EXISTS " + Source;
const std::u16string ReadVersion = u"R DEFAULT/VERSAO";
const std::u16string Flush = u"FLUSH " + Source;
const std::u16string Copy = u"COPY " + Source + u">" + Target;
const std::u16string WriteVersion = u"W DEFAULT/VERSAO=8";
const std::u16string WriteLink = u"W DEFAULT/CHAMADA_ATEND_GLPI=" + Faq;

class RecordedRunTest : public RecordedTest, public testing::WithParamInterface<RunCase> {};

TEST_P(RecordedRunTest, ClosesTheProfileOnEveryPathAndCopiesOnlyAfterIt) {
    const RunCase& run = GetParam();
    platform.fileExists = run.exists;
    if (run.version != nullptr) {
        platform.values[{u"DEFAULT", u"VERSAO"}] = run.version;
    }
    platform.values[{u"DEFAULT", u"CHAMADA_ATEND_GLPI"}] = run.staleLink ? u"old" : Faq;
    platform.values[{u"FILIAL_00", u"CHAMADA_ATEND_PORTAL"}] = Portal;
    if (run.refusedWrite != 0) {
        platform.refusedWrite = run.refusedWrite;
    }
    if (run.fails) {
        EXPECT_THROW(RunUpdate(Source, Target), profile::EIniFileException);
    } else {
        EXPECT_NO_THROW(RunUpdate(Source, Target));
    }
    EXPECT_EQ(Decisions(), run.decisions);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RecordedRunTest,
    testing::Values(
        RunCase{"no profile", false, u"7", true, 0, false, {Exists}},
        RunCase{"gate at version 0", true, u"0", true, 0, false, {Exists, ReadVersion, Flush}},
        RunCase{
            "gate without a version", true, nullptr, true, 0, false, {Exists, ReadVersion, Flush}},
        RunCase{"links current",
                true,
                u"7",
                false,
                0,
                false,
                {Exists, ReadVersion, WriteVersion, Flush, Copy}},
        RunCase{"link write refused",
                true,
                u"7",
                true,
                1,
                true,
                {Exists, ReadVersion, WriteLink, Flush}},
        RunCase{"version write refused",
                true,
                u"7",
                false,
                1,
                true,
                {Exists, ReadVersion, WriteVersion, Flush}}),
    [](const testing::TestParamInfo<RunCase>& param) {
        std::string name;
        for (const char c : std::string(param.param.what)) {
            name += c == ' ' ? '_' : c;
        }
        return name;
    });

TEST_F(RecordedTest, CheckOnlyAsksAndReadsNeverWritesOrFlushes) {
    platform.values[{u"DEFAULT", u"VERSAO"}] = u"7";
    platform.values[{u"DEFAULT", u"CHAMADA_ATEND_GLPI"}] = u"old";
    EXPECT_EQ(RunCheck(Source, Target).status, CheckStatus::WouldChange);
    EXPECT_EQ(Decisions(), (std::vector<std::u16string>{Exists, u"READABLE " + Source, ReadVersion,
                                                        u"EXISTS " + Target}));
}

TEST_F(RecordedTest, DestroyingAnUnusedProfileMakesTheFlushCall) {
    { const profile::TIniFile profile(Source); }
    EXPECT_EQ(platform.calls, std::vector<std::u16string>{Flush});
}

TEST_F(RecordedTest, ReadStringTakesTheCountThePlatformReturned) {
    const std::u16string withNul = u"ab\0cd"s;
    platform.values[{u"S", u"K"}] = withNul;
    profile::TIniFile profile(Source);
    EXPECT_EQ(profile.ReadString(u"S", u"K", u""), withNul);
}

}  // namespace
}  // namespace quenmoor::app

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

// What holding the paths finds, and who runs the update.
enum class Paths { Trusted, UntrustedForAService, UntrustedForAUser, ProfileNotHeld };

struct RunCase {
    const char* what;
    bool exists;
    const char16_t* version;  // null: no VERSAO key
    bool staleLink;           // the default help-desk link is due for a write
    int refusedWrite;         // 0: none
    bool fails;
    std::vector<std::u16string> decisions;
    Paths paths = Paths::Trusted;
};

const std::u16string Hold = u"HOLD " + Source + u">" + Target;
const std::u16string Release = u"RELEASE";
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
    if (run.paths == Paths::UntrustedForAService || run.paths == Paths::UntrustedForAUser) {
        platform.trustFault = {{u"C:\\Suporte", "lets S-1-5-11 add a file"}};
    }
    platform.serviceIdentity = run.paths != Paths::UntrustedForAUser;
    platform.profileHeld = run.paths != Paths::ProfileNotHeld;
    if (run.fails) {
        EXPECT_THROW(RunUpdate(Source, Target), profile::EIniFileException);
    } else {
        EXPECT_NO_THROW(RunUpdate(Source, Target));
    }
    EXPECT_EQ(Decisions(), run.decisions);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RecordedRunTest,
    testing::Values(RunCase{"no profile", false, u"7", true, 0, false, {Hold, Exists, Release}},
                    RunCase{"gate at version 0",
                            true,
                            u"0",
                            true,
                            0,
                            false,
                            {Hold, Exists, ReadVersion, Flush, Release}},
                    RunCase{"gate without a version",
                            true,
                            nullptr,
                            true,
                            0,
                            false,
                            {Hold, Exists, ReadVersion, Flush, Release}},
                    RunCase{"links current",
                            true,
                            u"7",
                            false,
                            0,
                            false,
                            {Hold, Exists, ReadVersion, WriteVersion, Flush, Copy, Release}},
                    RunCase{"link write refused",
                            true,
                            u"7",
                            true,
                            1,
                            true,
                            {Hold, Exists, ReadVersion, WriteLink, Flush, Release}},
                    RunCase{"version write refused",
                            true,
                            u"7",
                            false,
                            1,
                            true,
                            {Hold, Exists, ReadVersion, WriteVersion, Flush, Release}},
                    RunCase{"a service on untrusted paths",
                            true,
                            u"7",
                            true,
                            0,
                            false,
                            {Hold, Release},
                            Paths::UntrustedForAService},
                    RunCase{"a user on untrusted paths",
                            true,
                            u"7",
                            false,
                            0,
                            false,
                            {Hold, Exists, ReadVersion, WriteVersion, Flush, Copy, Release},
                            Paths::UntrustedForAUser},
                    RunCase{"a profile that is not held",
                            true,
                            u"7",
                            true,
                            0,
                            false,
                            {Hold, Exists, Release},
                            Paths::ProfileNotHeld}),
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
    EXPECT_EQ(Decisions(),
              (std::vector<std::u16string>{Hold, Exists, u"READABLE " + Source, ReadVersion,
                                           u"EXISTS " + Target, Release}));
}

TEST_F(RecordedTest, CheckReportsUntrustedPathsFirstWhoeverRunsIt) {
    platform.trustFault = {{u"C:\\Suporte", "lets S-1-5-11 add a file"}};
    platform.serviceIdentity = false;
    platform.fileExists = false;
    const CheckResult result = RunCheck(Source, Target);
    EXPECT_EQ(result.status, CheckStatus::Untrusted);
    EXPECT_EQ(result.line, "path not trusted: C:\\Suporte lets S-1-5-11 add a file");
    EXPECT_EQ(Decisions(), (std::vector<std::u16string>{Hold, Release}));
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

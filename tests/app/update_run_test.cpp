// The update run's decisions, checked call by call against an in-memory profile.
#include "app/update_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/check_run.h"
#include "app/links.h"
#include "support/recording_profile.h"

namespace quenmoor::app {
namespace {

using test::RecordingProfile;

const std::u16string Faq(FaqLink);
const std::u16string Portal(PortalLink);
const std::u16string FaqKey = u"CHAMADA_ATEND_GLPI";
const std::u16string PortalKey = u"CHAMADA_ATEND_PORTAL";

std::u16string TwoDigits(int n) {
    return {static_cast<char16_t>(u'0' + n / 10), static_cast<char16_t>(u'0' + n % 10)};
}

// Every section the run visits, in the order it must visit them.
std::vector<std::u16string> VisitedSections() {
    std::vector<std::u16string> sections{u"DEFAULT"};
    for (int n = 0; n < 100; ++n) {
        sections.push_back(u"FILIAL_" + TwoDigits(n));
    }
    return sections;
}

TEST(BranchSectionNameTest, TwoDigitsWithLeadingZero) {
    EXPECT_EQ(BranchSectionName(0), u"FILIAL_00");
    EXPECT_EQ(BranchSectionName(7), u"FILIAL_07");
    EXPECT_EQ(BranchSectionName(10), u"FILIAL_10");
    EXPECT_EQ(BranchSectionName(99), u"FILIAL_99");
}

TEST(LinkTest, LinksAreHttpsWithTheirFixedPaths) {
    EXPECT_TRUE(Faq.starts_with(u"https://"));
    EXPECT_TRUE(Faq.ends_with(u"/faq/"));
    EXPECT_TRUE(Portal.starts_with(u"https://"));
    EXPECT_TRUE(Portal.ends_with(u"/?h=%hash%&u=%user%"));
}

struct RefreshCase {
    const char* why;
    std::optional<std::u16string> stored;
    bool rewritten;
};

class RefreshLinkTest : public testing::TestWithParam<RefreshCase> {};

TEST_P(RefreshLinkTest, WritesOnlyNonBlankDifferentValues) {
    RecordingProfile profile;
    if (GetParam().stored) {
        profile.values[{u"FILIAL_03", FaqKey}] = *GetParam().stored;
    }
    RefreshLink(profile, Faq, u"FILIAL_03", FaqKey);
    EXPECT_EQ(profile.writeCount, GetParam().rewritten ? 1 : 0) << GetParam().why;
    if (GetParam().rewritten) {
        EXPECT_EQ((profile.values[{u"FILIAL_03", FaqKey}]), Faq);
    } else {
        EXPECT_EQ(profile.values.count({u"FILIAL_03", FaqKey}), GetParam().stored ? 1U : 0U);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefreshLinkTest,
    testing::Values(RefreshCase{"absent key", std::nullopt, false},
                    RefreshCase{"empty value", u"", false},
                    RefreshCase{"blanks and controls only", u" \t\r\n\x01\x1F ", false},
                    RefreshCase{"already current", Faq, false},
                    RefreshCase{"current within blanks", u"  \t" + Faq + u" \x1F", false},
                    RefreshCase{"another address", u"http://old.example/glpi", true},
                    RefreshCase{"other letter case", u"HTTPS://" + Faq.substr(8), true},
                    RefreshCase{"no-break space is not blank", u"\u00A0" + Faq, true},
                    RefreshCase{"DEL is not blank", Faq + u"\x7F", true},
                    RefreshCase{"'!' before is not blank", u"!" + Faq, true},
                    RefreshCase{"'!' after is not blank", Faq + u"!", true},
                    RefreshCase{"prefix of the link", Faq.substr(0, Faq.size() - 1), true}));

TEST(UpdateProfileTest, GateStopsAtVersionZeroOrUnreadable) {
    for (const std::optional<std::u16string>& version :
         {std::optional<std::u16string>{}, std::optional<std::u16string>{u"0"},
          std::optional<std::u16string>{u"abc"}}) {
        RecordingProfile profile;
        if (version) {
            profile.values[{u"DEFAULT", u"VERSAO"}] = *version;
        }
        profile.values[{u"DEFAULT", FaqKey}] = u"stale";
        EXPECT_FALSE(UpdateProfile(profile));
        EXPECT_EQ(profile.calls, std::vector<std::u16string>{u"R DEFAULT/VERSAO"});
    }
}

TEST(UpdateProfileTest, MakesTheRefreshesInOrderThenOneVersionWrite) {
    RecordingProfile profile;
    profile.values[{u"DEFAULT", u"VERSAO"}] = u"7";
    for (const auto& section : VisitedSections()) {
        profile.values[{section, FaqKey}] = u"old";
        profile.values[{section, PortalKey}] = u"old";
    }
    EXPECT_TRUE(UpdateProfile(profile));

    std::vector<std::u16string> expected{u"R DEFAULT/VERSAO"};
    for (const auto& section : VisitedSections()) {
        expected.push_back(u"R " + section + u"/" + FaqKey);
        expected.push_back(u"W " + section + u"/" + FaqKey + u"=" + Faq);
        expected.push_back(u"R " + section + u"/" + PortalKey);
        expected.push_back(u"W " + section + u"/" + PortalKey + u"=" + Portal);
    }
    expected.emplace_back(u"W DEFAULT/VERSAO=8");
    EXPECT_EQ(profile.calls, expected);
}

TEST(UpdateProfileTest, CurrentLinksStillAdvanceTheVersion) {
    RecordingProfile profile;
    profile.values[{u"DEFAULT", u"VERSAO"}] = u"3";
    profile.values[{u"DEFAULT", FaqKey}] = Faq;
    profile.values[{u"FILIAL_42", PortalKey}] = Portal;
    EXPECT_TRUE(UpdateProfile(profile));
    // 1 version read, 202 link reads, 1 version write, and nothing else.
    EXPECT_EQ(profile.calls.size(), 204U);
    EXPECT_EQ(profile.writeCount, 1);
    EXPECT_EQ(profile.calls.back(), u"W DEFAULT/VERSAO=4");
    // No key or section came into being.
    EXPECT_EQ(profile.values.size(), 3U);
}

TEST(UpdateProfileTest, VersionAdvanceWrapsAndIsWrittenAsDecimal) {
    // Hex and the other text forms belong to the integer-text rules; here the advance itself.
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"7", u"8"}, {u"-1", u"0"}, {u"2147483647", u"-2147483648"}};
    for (const auto& [stored, written] : cases) {
        RecordingProfile profile;
        profile.values[{u"DEFAULT", u"VERSAO"}] = stored;
        EXPECT_TRUE(UpdateProfile(profile));
        EXPECT_EQ((profile.values[{u"DEFAULT", u"VERSAO"}]), written);
    }
}

TEST(UpdateProfileTest, RefusedVersionWriteFailsTheRun) {
    RecordingProfile profile;
    profile.values[{u"DEFAULT", u"VERSAO"}] = u"7";
    profile.values[{u"DEFAULT", FaqKey}] = Faq;
    profile.refusedWrite = 1;  // the links are current: the version write is the only one due
    EXPECT_THROW(UpdateProfile(profile), profile::EIniFileException);
    EXPECT_EQ((profile.values[{u"DEFAULT", u"VERSAO"}]), u"7");
    EXPECT_EQ(profile.calls.back(), u"W DEFAULT/VERSAO=8");
}

TEST(UpdateProfileTest, RefusedWriteEndsThePassAndKeepsEarlierWrites) {
    RecordingProfile profile;
    profile.values[{u"DEFAULT", u"VERSAO"}] = u"7";
    for (const auto& section : VisitedSections()) {
        profile.values[{section, FaqKey}] = u"old";
    }
    profile.refusedWrite = 3;  // DEFAULT, FILIAL_00 land; FILIAL_01 is refused
    EXPECT_THROW(UpdateProfile(profile), profile::EIniFileException);
    EXPECT_EQ((profile.values[{u"DEFAULT", FaqKey}]), Faq);
    EXPECT_EQ((profile.values[{u"FILIAL_00", FaqKey}]), Faq);
    EXPECT_EQ((profile.values[{u"FILIAL_01", FaqKey}]), u"old");
    EXPECT_EQ((profile.values[{u"FILIAL_02", FaqKey}]), u"old");
    EXPECT_EQ((profile.values[{u"DEFAULT", u"VERSAO"}]), u"7");
    EXPECT_EQ(profile.calls.back(), u"W FILIAL_01/" + FaqKey + u"=" + Faq);
}

}  // namespace
}  // namespace quenmoor::app

namespace quenmoor::app {
namespace {

struct LabelCase {
    BuildKind build;
    CheckStatus status;
    CheckStatus labelled;
    const char* line;
};

TEST(LabelForBuildTest, TestAndUnconfiguredBuildsSaySoAndAreNeverCurrent) {
    using enum CheckStatus;
    const std::vector<LabelCase> cases = {
        {{false, false}, Current, Current, "L"},
        {{true, false}, Current, Current, "test build: L"},
        {{false, true}, Current, Unconfigured, "unconfigured build (example links): L"},
        {{false, true}, WouldChange, WouldChange, "unconfigured build (example links): L"},
        {{true, true}, Untrusted, Untrusted, "test build, unconfigured build (example links): L"},
    };
    for (const LabelCase& row : cases) {
        const CheckResult result = LabelForBuild({row.status, "L"}, row.build);
        EXPECT_EQ(result.status, row.labelled) << row.line;
        EXPECT_EQ(result.line, row.line);
    }
}

}  // namespace
}  // namespace quenmoor::app

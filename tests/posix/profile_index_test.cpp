// The section index must answer every lookup exactly as reading every line from the top does: it
// is compared with that plain reading on many generated profiles full of the cases the line rules
// care about.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>

#include "ini/index.h"
#include "ini/text.h"
#include "posix/line_scan_lookup.h"
#include "posix/utf16_bytes.h"

namespace quenmoor::ini {
namespace {

// Pieces of profile text: headers and keys in both letter cases, blanks, every line end,
// brackets and "=" in odd places, quotes, comments, a Kelvin sign (which folds to "k"),
// an accented letter and a byte that is not UTF-8.
constexpr std::array<std::string_view, 30> Pieces = {"[s]",      "[S]",   " [ s ] x",
                                                     "[k]",      "\t[K]", "[",
                                                     "]",        "[s",    "k=",
                                                     "K = v",    "k=1",   "=",
                                                     "s=[k]",    ";",     "; [s]",
                                                     " ",        "\t",    "\r",
                                                     "\n",       "\r\n",  "\"q\"",
                                                     "'",        "a",     "k",
                                                     "s",        "x=y",   "\xE2\x84\xAA=kelvin",
                                                     "\xC3\xA9", "\xFF",  "[\xE2\x84\xAA]"};

constexpr std::array<std::u16string_view, 8> Sections = {u"s",      u"S", u" s ", u"k",
                                                         u"\u212A", u"",  u"a",   u"s]"};
constexpr std::array<std::u16string_view, 8> Keys = {u"k",      u"K", u" k", u"",
                                                     u"\u212A", u"s", u"x",  u"a"};

std::string RandomProfile(std::mt19937& random) {
    std::uniform_int_distribution<std::size_t> piece(0, Pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    std::string bytes;
    for (int count = length(random); count > 0; --count) {
        bytes.append(Pieces[piece(random)]);
    }
    return bytes;
}

// The same text in UTF-16, each byte taken as the character of the same number: the line
// structure is what matters here, not the characters.
std::string AsUtf16(const std::string& bytes, bool littleEndian) {
    std::u16string text;
    for (const char byte : bytes) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
    }
    return test::Utf16(text, littleEndian);
}

void ExpectSameAnswers(const std::string& bytes) {
    const ProfileText text(bytes);
    const ProfileIndex index(text);
    for (const std::u16string_view section : Sections) {
        EXPECT_EQ(index.FindSection(text, section, std::nullopt),
                  test::ScanForSection(text, section, std::nullopt))
            << "profile bytes: " << testing::PrintToString(bytes);
        for (const std::u16string_view key : Keys) {
            EXPECT_EQ(index.FindValue(text, section, key), test::ScanForValue(text, section, key))
                << "profile bytes: " << testing::PrintToString(bytes);
            EXPECT_EQ(index.FindSection(text, section, key),
                      test::ScanForSection(text, section, key))
                << "profile bytes: " << testing::PrintToString(bytes);
        }
    }
}

TEST(ProfileIndexTest, AnswersAsTheFullScanOnGeneratedProfiles) {
    std::mt19937 random(20240517);
    for (int round = 0; round < 2000 && !testing::Test::HasFailure(); ++round) {
        const std::string bytes = RandomProfile(random);
        ExpectSameAnswers(bytes);
        ExpectSameAnswers("\xEF\xBB\xBF" + bytes);
        ExpectSameAnswers(AsUtf16(bytes, true));
        ExpectSameAnswers(AsUtf16(bytes, false));
    }
}

TEST(ProfileIndexTest, FindsKeysOfTheFirstSectionOfAName) {
    const std::string bytes =
        "k=before\r\n[S]\r\nK=first\r\nk=second\r\n[s]\r\nk=other\r\n[t]\r\n  k = \"quoted\" \r\n";
    const ProfileText text(bytes);
    const ProfileIndex index(text);
    EXPECT_EQ(index.FindValue(text, u"s", u"k"), u"first");
    EXPECT_EQ(index.FindValue(text, u" T ", u"K"), u"quoted");
    EXPECT_EQ(index.FindValue(text, u"u", u"k"), std::nullopt);
    EXPECT_EQ(index.FindValue(text, u"s", u"missing"), std::nullopt);
}

}  // namespace
}  // namespace quenmoor::ini

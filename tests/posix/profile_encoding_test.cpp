// How profile bytes are recognised, and Windows-1252 text carried without loss.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "ini/encoding.h"

namespace quenmoor::ini {
namespace {

using namespace std::string_literals;

TEST(ProfileEncodingTest, DetectionFollowsMarkThenUtf8WellFormedness) {
    struct Case {
        std::string bytes;
        ProfileEncoding expected;
    };
    const auto cases = std::to_array<Case>({
        {"", {TextForm::Utf8, 0}},
        {"[A]\r\na=1", {TextForm::Utf8, 0}},
        {"a=\xC3\xA9\xF0\x9F\x98\x80", {TextForm::Utf8, 0}},
        {"\xEF\xBB\xBF"
         "a=\xC3\xA9",
         {TextForm::Utf8, 3}},
        {"a=\xE9", {TextForm::Windows1252, 0}},
        {"\xEF\xBB\xBF"
         "a=\xE9",
         {TextForm::Windows1252, 3}},
        {"a=\xE0\x83\xA9", {TextForm::Windows1252, 0}},      // "\u00E9" in three bytes, overlong
        {"a=\xED\xA0\x80", {TextForm::Windows1252, 0}},      // a surrogate
        {"a=\xF4\x90\x80\x80", {TextForm::Windows1252, 0}},  // beyond U+10FFFF
        {"a=\xC9\xC9", {TextForm::Windows1252, 0}},          // a lead byte where one must follow
        {"\xFF\xFE[\0"s, {TextForm::Utf16Le, 2}},
        {"\xFE\xFF\0["s, {TextForm::Utf16Be, 2}},
    });
    for (const auto& c : cases) {
        const ProfileEncoding found = DetectEncoding(c.bytes);
        EXPECT_EQ(found.form, c.expected.form) << testing::PrintToString(c.bytes);
        EXPECT_EQ(found.markSize, c.expected.markSize) << testing::PrintToString(c.bytes);
    }
}

// Long runs of ASCII are skipped a block at a time: a byte above 0x7F counts wherever it lies.
TEST(ProfileEncodingTest, OneWindows1252ByteAnywhereInALongText) {
    for (std::size_t at = 0; at < 64; ++at) {
        std::string bytes(96, 'a');
        bytes[at] = '\xE9';
        EXPECT_EQ(DetectEncoding(bytes).form, TextForm::Windows1252) << "at " << at;
    }
}

TEST(ProfileEncodingTest, EveryWindows1252ByteRoundTrips) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    const auto text = DecodeText(all, TextForm::Windows1252);
    ASSERT_TRUE(text);
    EXPECT_EQ((*text)[0x80], u'\u20AC');
    EXPECT_EQ((*text)[0x81], u'\u0081');
    EXPECT_EQ((*text)[0x8A], u'\u0160');
    EXPECT_EQ((*text)[0x9D], u'\u009D');
    EXPECT_EQ((*text)[0x9F], u'\u0178');
    EXPECT_EQ((*text)[0xE9], u'\u00E9');
    EXPECT_EQ(EncodeText(*text, TextForm::Windows1252), all);
}

}  // namespace
}  // namespace quenmoor::ini

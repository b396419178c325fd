// UTF-16 and UTF-8, both ways: what each form carries, and what the strict forms refuse.
#include "text/utf.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "text/nul_terminated.h"

namespace quenmoor::text {
namespace {

using namespace std::string_literals;

const std::u16string LoneHigh(1, char16_t{0xD800});
const std::u16string LoneLow(1, char16_t{0xDC00});

TEST(Utf8Test, WellFormedTextConvertsBothWays) {
    struct Case {
        std::u16string text;
        std::string utf8;
    };
    const auto cases = std::to_array<Case>({
        {u"", ""},
        {u"VERSAO=7", "VERSAO=7"},
        {u"\0"s, "\0"s},
        {u"S\u00e3o", "S\xc3\xa3o"},                                    // two bytes
        {u"\u20ac\uffff", "\xe2\x82\xac\xef\xbf\xbf"},                  // three bytes
        {u"\U0001F600\U0010FFFF", "\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf"},  // four, a pair each
    });
    for (const Case& c : cases) {
        EXPECT_EQ(ToUtf8(c.text), c.utf8) << testing::PrintToString(c.utf8);
        EXPECT_EQ(ToUtf8Replacing(c.text), c.utf8) << testing::PrintToString(c.utf8);
        EXPECT_EQ(FromUtf8(c.utf8), c.text) << testing::PrintToString(c.utf8);
        EXPECT_TRUE(IsWellFormedUtf8(c.utf8)) << testing::PrintToString(c.utf8);
    }
}

TEST(Utf8Test, UnpairedSurrogatesAreRefusedOrReplaced) {
    for (const std::u16string& text : {LoneHigh, LoneLow, u"a" + LoneHigh + u"b",
                                       LoneLow + LoneHigh, u"\U0001F600" + LoneHigh}) {
        EXPECT_EQ(ToUtf8(text), std::nullopt) << testing::PrintToString(text);
    }
    EXPECT_EQ(ToUtf8Replacing(u"a" + LoneHigh + u"b"),
              "a\xef\xbf\xbd"
              "b");
    EXPECT_EQ(ToUtf8Replacing(LoneLow + LoneHigh), "\xef\xbf\xbd\xef\xbf\xbd");
}

// Also inside 80 bytes of ASCII, where well-formedness is tested 32 bytes at a time.
TEST(Utf8Test, IllFormedBytesAreRefused) {
    const auto cases = std::to_array<std::string>({
        "\x80",              // a continuation byte alone
        "\xc3",              // cut short
        "\xe2\x82",          // cut short
        "\xc3\x28",          // no continuation where one must be
        "\xc0\xaf",          // overlong
        "\xe0\x80\xaf",      // overlong
        "\xf0\x80\x80\xaf",  // overlong
        "\xed\xa0\x80",      // a surrogate code point
        "\xf4\x90\x80\x80",  // above U+10FFFF
        "\xff",
    });
    for (const std::string& bytes : cases) {
        const std::string ascii(40, 'a');
        for (const std::string& padded : {bytes, ascii + bytes + ascii}) {
            EXPECT_EQ(FromUtf8(padded), std::nullopt) << testing::PrintToString(padded);
            EXPECT_FALSE(IsWellFormedUtf8(padded)) << testing::PrintToString(padded);
        }
    }
}

TEST(CodePointTest, PairsAreJoinedAndLoneHalvesStandForThemselves) {
    const std::u16string text = u"a\U00010400" + LoneHigh + u"b";
    std::size_t at = 0;
    EXPECT_EQ(NextCodePoint(text, at), U'a');
    EXPECT_EQ(NextCodePoint(text, at), U'\U00010400');
    EXPECT_EQ(at, 3U);
    EXPECT_EQ(NextCodePoint(text, at), char32_t{0xD800});
    EXPECT_EQ(NextCodePoint(text, at), U'b');
    EXPECT_EQ(at, text.size());
}

TEST(CopyWithNulTest, CutsToTheBufferAndEndsWithNul) {
    struct Case {
        std::u16string_view text;
        std::size_t bufferSize;
        std::u16string_view copied;
    };
    for (const Case& c : {Case{u"abc", 8, u"abc"}, Case{u"abc", 4, u"abc"}, Case{u"abc", 3, u"ab"},
                          Case{u"abc", 1, u""}, Case{u"", 2, u""}}) {
        std::array<char16_t, 8> buffer{};
        buffer.fill(u'#');
        const std::span<char16_t> span(buffer.data(), c.bufferSize);
        EXPECT_EQ(CopyWithNul(c.text, span), c.copied.size());
        EXPECT_EQ(std::u16string_view(buffer.data(), c.copied.size()), c.copied);
        EXPECT_EQ(buffer[c.copied.size()], u'\0');
        if (c.bufferSize < buffer.size()) {
            EXPECT_EQ(buffer[c.bufferSize], u'#') << "nothing is written past the buffer";
        }
    }
}

}  // namespace
}  // namespace quenmoor::text

// The lossless check must pass every edit that keeps the other bytes and catch every one that
// does not, or the random-edit and fuzz runs prove nothing.
#include "differential/lossless_check.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace quenmoor::differential {
namespace {

using namespace std::string_literals;

struct Case {
    const char* what;
    std::string before;
    std::string after;
    EditShape shape;
    bool lossless;
};

TEST(LosslessCheckTest, TellsKeptBytesFromLostOnes) {
    const auto cases = std::to_array<Case>({
        {"nothing changed", "[A]\na=1\n", "[A]\na=1\n", EditShape::KeyRemoved, true},
        {"value changed in its line", "[A]\r\na = 1 \r\n", "[A]\r\na = 22 \r\n",
         EditShape::ValueSet, true},
        {"key line inserted", "[A]\na=1\n[B]\n", "[A]\na=1\nb=2\n[B]\n", EditShape::ValueSet, true},
        {"section appended after a last line without end", "a=1", "a=1\r\n[S]\r\nk=v\r\n",
         EditShape::ValueSet, true},
        {"a blank line lost with the edit", "[A]\na=1\n\nb=2\n", "[A]\na=2\nb=2\n",
         EditShape::ValueSet, false},
        {"another line changed too", "[A]\na=1\nb=2\n", "[A]\na=3\nb=4\n", EditShape::ValueSet,
         false},
        {"only bytes put in", "[A]\na=1\n", "[A]\r\na=1\n", EditShape::ValueSet, true},
        {"line end changed in a value set that also edits a value", "[A]\na=1\n", "[A]\r\na=2\n",
         EditShape::ValueSet, false},
        {"one line removed", "[A]\na=1\nb=2\n", "[A]\nb=2\n", EditShape::KeyRemoved, true},
        {"line removed where the same bytes follow", "y\nyz\n", "yz\n", EditShape::KeyRemoved,
         true},
        {"last line without end removed", "[A]\na=1\nb=2", "[A]\na=1\n", EditShape::KeyRemoved,
         true},
        {"CR LF line removed", "[A]\r\na=1\r\nb=2\r\n", "[A]\r\nb=2\r\n", EditShape::KeyRemoved,
         true},
        {"half a CR LF removed", "[A]\r\na=1\r\nb=2\r\n", "[A]\r\na=1\nb=2\r\n",
         EditShape::KeyRemoved, false},
        {"two lines removed as one key", "[A]\na=1\nb=2\nc=3\n", "[A]\nc=3\n",
         EditShape::KeyRemoved, false},
        {"part of a line removed", "[A]\nab=1\n", "[A]\nb=1\n", EditShape::KeyRemoved, false},
        {"section removed", "[A]\na=1\n;c\n[B]\n", "[B]\n", EditShape::SectionRemoved, true},
        {"section removed with a byte changed after it", "[A]\na=1\n[B]\nb=1\n", "[B]\nb=2\n",
         EditShape::SectionRemoved, false},
        {"byte-order mark dropped", "\xEF\xBB\xBF[A]\na=1\n", "[A]\na=1\n", EditShape::ValueSet,
         false},
        {"first line after a mark removed",
         "\xEF\xBB\xBF"
         "a=1\nb=2\n",
         "\xEF\xBB\xBF"
         "b=2\n",
         EditShape::KeyRemoved, true},
        {"UTF-16 line removed", "\xFF\xFE[\0A\0]\0\n\0a\0=\0001\0\n\0"s, "\xFF\xFE[\0A\0]\0\n\0"s,
         EditShape::KeyRemoved, true},
        {"UTF-16 line end byte changed",
         "\xFF\xFE"
         "a\0=\0001\0\n\0b\0"s,
         "\xFF\xFE"
         "a\0=\0001\0\n\1b\0"s,
         EditShape::ValueSet, false},
    });
    for (const auto& c : cases) {
        const auto wrong = CheckLossless(c.before, c.after, c.shape);
        EXPECT_EQ(!wrong.has_value(), c.lossless) << c.what << ": " << wrong.value_or("passed");
    }
}

}  // namespace
}  // namespace quenmoor::differential

#include "profile/integer_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace quenmoor::profile {
namespace {

struct ParseCase {
    std::u16string text;
    std::optional<std::int32_t> expected;
};

class TryTextToIntegerTest : public testing::TestWithParam<ParseCase> {};

TEST_P(TryTextToIntegerTest, ConvertsOrFails) {
    EXPECT_EQ(TryTextToInteger(GetParam().text), GetParam().expected);
}

constexpr auto Min = std::numeric_limits<std::int32_t>::min();
constexpr auto Max = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Decimal, TryTextToIntegerTest,
    testing::Values(ParseCase{u"42", 42}, ParseCase{u"  42", 42}, ParseCase{u"+42", 42},
                    ParseCase{u"-42", -42}, ParseCase{u"007", 7}, ParseCase{u"0", 0},
                    ParseCase{u"-0", 0}, ParseCase{u"2147483647", Max},
                    ParseCase{u"-2147483648", Min}, ParseCase{u"00000000000000000012", 12},
                    ParseCase{u"2147483648", std::nullopt}, ParseCase{u"-2147483649", std::nullopt},
                    ParseCase{u"99999999999999999999", std::nullopt},
                    ParseCase{u"42 ", std::nullopt}, ParseCase{u"4 2", std::nullopt},
                    ParseCase{u"1e3", std::nullopt}, ParseCase{u"\t42", std::nullopt},
                    ParseCase{u"", std::nullopt}, ParseCase{u"   ", std::nullopt},
                    ParseCase{u"-", std::nullopt}, ParseCase{u"+", std::nullopt},
                    ParseCase{u"- 1", std::nullopt}, ParseCase{u"+-1", std::nullopt},
                    ParseCase{u"abc", std::nullopt}, ParseCase{u"12abc", std::nullopt},
                    ParseCase{u"\uFF11", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, TryTextToIntegerTest,
    testing::Values(ParseCase{u"$ff", 255}, ParseCase{u"$FF", 255}, ParseCase{u"x10", 16},
                    ParseCase{u"X10", 16}, ParseCase{u"0x10", 16}, ParseCase{u"0X10", 16},
                    ParseCase{u"-$10", -16}, ParseCase{u"+$10", 16}, ParseCase{u"  $1f", 31},
                    ParseCase{u"$7FFFFFFF", Max}, ParseCase{u"$FFFFFFFF", -1},
                    ParseCase{u"$80000000", Min}, ParseCase{u"-$80000000", Min},
                    ParseCase{u"-$FFFFFFFF", 1}, ParseCase{u"$000000001", 1},
                    ParseCase{u"$100000000", std::nullopt}, ParseCase{u"$", std::nullopt},
                    ParseCase{u"0x", std::nullopt}, ParseCase{u"x", std::nullopt},
                    ParseCase{u"$1G", std::nullopt}, ParseCase{u"$ 1", std::nullopt},
                    ParseCase{u"$-1", std::nullopt}, ParseCase{u"$10 ", std::nullopt},
                    ParseCase{u"00x10", std::nullopt}, ParseCase{u"0$10", std::nullopt}));

TEST(IntegerToTextTest, WritesPlainDecimal) {
    const std::pair<std::int32_t, std::u16string> cases[] = {
        {0, u"0"}, {-5, u"-5"}, {42, u"42"}, {Max, u"2147483647"}, {Min, u"-2147483648"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(IntegerToText(value), text);
        EXPECT_EQ(TryTextToInteger(text), value) << "the written text must read back";
    }
}

}  // namespace
}  // namespace quenmoor::profile

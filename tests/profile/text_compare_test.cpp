// The comparison ReadInteger uses for the "0x" prefix, as the platform makes it: kernel32's
// CompareStringW on Windows, our own case folding elsewhere.
#include "platform/text_compare.h"

#include <gtest/gtest.h>

#include <string_view>

namespace quenmoor::platform {
namespace {

TEST(EqualIgnoringCaseTest, OnlyLetterCaseIsIgnored) {
    struct Pair {
        std::u16string_view a;
        std::u16string_view b;
        bool same;
    };
    for (const Pair& pair :
         {Pair{u"0x", u"0x", true}, Pair{u"0x", u"0X", true}, Pair{u"0X", u"0x", true},
          Pair{u"0x", u"0y", false}, Pair{u"0x", u"0", false}, Pair{u"0x", u"Ox", false},
          Pair{u"Default", u"DEFAULT", true}}) {
        EXPECT_EQ(EqualIgnoringCase(pair.a, pair.b), pair.same)
            << testing::PrintToString(std::u16string(pair.a)) << " "
            << testing::PrintToString(std::u16string(pair.b));
    }
}

}  // namespace
}  // namespace quenmoor::platform

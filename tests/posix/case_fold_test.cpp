// Section names are looked up by their case-folded form, so that form must match exactly when
// the comparison of names does.
#include "ini/case_fold.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <array>
#include <string_view>

namespace quenmoor::ini {
namespace {

struct NamePair {
    std::u16string_view a;
    std::u16string_view b;
    bool same;
};

TEST(CaseFoldTest, FoldedFormsAreEqualExactlyWhenTheNamesCompareEqual) {
    const auto pairs = std::to_array<NamePair>({
        {u"FILIAL_07", u"filial_07", true},
        {u"Default", u"DEFAULT", true},
        {u"FILIAL_07", u"FILIAL_70", false},
        {u"a", u"aa", false},
        {u"", u"", true},
        {u"\u212A", u"k", true},       // Kelvin sign
        {u"\u017F", u"S", true},       // long s
        {u"\u00DF", u"SS", false},     // sharp s has no one-letter upper case
        {u"\u03A3", u"\u03C2", true},  // capital and final sigma
        {u"\u00C9t\u00E9", u"\u00E9T\u00C9", true},
        {u"\U00010400", u"\U00010428", true},  // a letter beyond the BMP, as a surrogate pair
        {u"\xD801", u"\xD801", true},          // an unpaired surrogate stands for itself
        {u"\xD801", u"\xDC01", false},
        {u"\U00010400", u"\xD801", false},
    });
    for (const NamePair& pair : pairs) {
        EXPECT_EQ(FoldsAlike(pair.a, pair.b), pair.same)
            << testing::PrintToString(std::u16string(pair.a));
        EXPECT_EQ(CaseFolded(pair.a) == CaseFolded(pair.b), pair.same)
            << testing::PrintToString(std::u16string(pair.a));
    }
}

TEST(CaseFoldTest, AsciiFoldsAsUnicodeSays) {
    for (char32_t unit = 0; unit < 0x80; ++unit) {
        EXPECT_EQ(FoldedCodePoint(unit), static_cast<char32_t>(u_foldCase(
                                             static_cast<UChar32>(unit), U_FOLD_CASE_DEFAULT)))
            << static_cast<unsigned>(unit);
    }
}

}  // namespace
}  // namespace quenmoor::ini

#include "profile/custom_ini_file.h"

#include "platform/text_compare.h"
#include "profile/integer_text.h"

namespace quenmoor::profile {

std::int32_t TCustomIniFile::ReadInteger(const std::u16string& Section, const std::u16string& Ident,
                                         std::int32_t Default) {
    std::u16string text = ReadString(Section, Ident, u"");
    // "0x1F" and "0X1F" are read as "$1F"; the prefix test is the platform's own
    // case-insensitive comparison.
    constexpr std::u16string_view HexPrefix = u"0x";
    if (text.size() > HexPrefix.size() &&
        platform::EqualIgnoringCase(std::u16string_view(text).substr(0, HexPrefix.size()),
                                    HexPrefix)) {
        text = u'$' + text.substr(HexPrefix.size());
    }
    return TryTextToInteger(text).value_or(Default);
}

void TCustomIniFile::WriteInteger(const std::u16string& Section, const std::u16string& Ident,
                                  std::int32_t Value) {
    WriteString(Section, Ident, IntegerToText(Value));
}

}  // namespace quenmoor::profile

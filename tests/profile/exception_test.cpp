// Failures carry their message as UTF-16 and, for code that only knows std::exception, as UTF-8.
#include "profile/exception.h"

#include <gtest/gtest.h>

#include <string>

#include "profile/ini_file_exception.h"

namespace quenmoor::profile {
namespace {

TEST(ExceptionTest, WriteRefusalNamesTheFileInBothForms) {
    struct Case {
        std::u16string fileName;
        std::string utf8;
    };
    const Case cases[] = {
        {u"C:\\Quenmoor.ini", "Unable to write to C:\\Quenmoor.ini"},
        {u"C:\\Filial S\u00e3o Jo\u00e3o\\\u20ac.ini",
         "Unable to write to C:\\Filial S\xc3\xa3o Jo\xc3\xa3o\\\xe2\x82\xac.ini"},
        {u"\U0001F600.ini", "Unable to write to \xf0\x9f\x98\x80.ini"},
        {std::u16string(u"x") + char16_t{0xD800} + u".ini", "Unable to write to x\xef\xbf\xbd.ini"},
    };
    for (const Case& c : cases) {
        const EIniFileException failure(c.fileName);
        const std::exception& standard = failure;
        EXPECT_EQ(failure.Message(), u"Unable to write to " + c.fileName);
        EXPECT_EQ(std::string(standard.what()), c.utf8);
    }
}

}  // namespace
}  // namespace quenmoor::profile

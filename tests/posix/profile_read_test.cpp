// ReadProfileValue on POSIX over real files: the line rules, encodings, buffer cutting
// and files that are missing or are not files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile_functions.h"
#include "posix/utf16_bytes.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace quenmoor::platform {
namespace {

using test::Utf16;
using test::WriteBytes;

class ProfileReadTest : public testing::Test {
  protected:
    [[nodiscard]] const std::filesystem::path& Folder() const { return folder_.Path(); }
    [[nodiscard]] const char16_t* FileName() const { return fileName_.c_str(); }
    void Store(std::string_view bytes) const {
        WriteBytes(folder_.Path() / "Quenmoor.ini", std::string(bytes));
    }
    void ReadFrom(const std::string& name) { fileName_ = folder_.FileName(name); }

    [[nodiscard]] std::u16string Read(const char16_t* section, const char16_t* key) const {
        std::vector<char16_t> buffer(256, u'#');
        const std::uint32_t count =
            ReadProfileValue(section, key, u"<default>", buffer, FileName());
        EXPECT_EQ(buffer[count], u'\0');
        return {buffer.data(), count};
    }

  private:
    test::TempFolder folder_;
    std::u16string fileName_ = folder_.FileName("Quenmoor.ini");
};

// One profile with every rule that decides what a line means, and a mix of line ends.
constexpr std::string_view TrickyProfile =
    "; comment before any section\r\n"
    "Orphan=before any section\r\n"
    "[General]\r\n"
    "Name=first\r\n"
    "NAME=second\r\n"
    "  Spaced\t =  padded value \t\r\n"
    "Quoted=  \"a b\"  \r\n"
    "Single='x y'\n"
    "LoneQuote=\"\n"
    "Mismatched=\"a'\n"
    "Equals=a=b=c\r"
    "Empty=\r"
    "Semicolon=a;b\r\n"
    "#Hash=yes\r\n"
    "  ;Indented=comment\r\n"
    "NoEquals\r\n"
    "\r\n"
    "  [ Second ] trailing text\n"
    "Key=in second\n"
    "[general]\n"
    "Extra=only in the duplicate section\n"
    "[\xC3\x84rger]\n"
    "Wert=\xC3\xBC\n"
    "[Last]\n"
    "Final=no line end";

TEST_F(ProfileReadTest, TrickyProfileReadsByTheLineRules) {
    Store(TrickyProfile);
    struct Case {
        const char16_t* section;
        const char16_t* key;
        std::u16string_view expected;
    };
    const auto cases = std::to_array<Case>({
        {u"General", u"Name", u"first"},         {u"GENERAL", u"name", u"first"},
        {u" general ", u"\tName ", u"first"},    {u"General", u"Spaced", u"padded value"},
        {u"General", u"Quoted", u"a b"},         {u"General", u"Single", u"x y"},
        {u"General", u"LoneQuote", u"\""},       {u"General", u"Mismatched", u"\"a'"},
        {u"General", u"Equals", u"a=b=c"},       {u"General", u"Empty", u""},
        {u"General", u"Semicolon", u"a;b"},      {u"General", u"#Hash", u"yes"},
        {u"General", u"Indented", u"<default>"}, {u"General", u";Indented", u"<default>"},
        {u"General", u"NoEquals", u"<default>"}, {u"General", u"Orphan", u"<default>"},
        {u"", u"Orphan", u"<default>"},          {u"General", u"Key", u"<default>"},
        {u"General", u"Extra", u"<default>"},    {u"Second", u"Key", u"in second"},
        {u"\u00E4RGER", u"wert", u"\u00FC"},     {u"Last", u"Final", u"no line end"},
        {u"Missing", u"Name", u"<default>"},
    });
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.section, c.key), c.expected)
            << "[" << testing::PrintToString(c.section) << "] " << testing::PrintToString(c.key);
    }
}

TEST_F(ProfileReadTest, EveryEncodingReadsTheSameText) {
    // [Région] Clé=€ é, with U+0081 standing for the byte Windows-1252 leaves undefined.
    struct File {
        const char* what;
        std::string bytes;
    };
    const auto files = std::to_array<File>({
        {"UTF-8", "[R\xC3\xA9gion]\r\nCl\xC3\xA9=\xE2\x82\xAC \xC3\xA9\xC2\x81\r\n"},
        {"UTF-8 with mark",
         "\xEF\xBB\xBF[R\xC3\xA9gion]\nCl\xC3\xA9=\xE2\x82\xAC \xC3\xA9\xC2\x81"},
        {"Windows-1252", "[R\xE9gion]\r\nCl\xE9=\x80 \xE9\x81\r\n"},
        {"UTF-16LE", Utf16(u"[R\u00E9gion]\nCl\u00E9=\u20AC \u00E9\u0081\n", true)},
        {"UTF-16BE", Utf16(u"[R\u00E9gion]\r\nCl\u00E9=\u20AC \u00E9\u0081", false)},
    });
    for (const auto& file : files) {
        Store(file.bytes);
        EXPECT_EQ(Read(u"r\u00C9GION", u"CL\u00C9"), u"\u20AC \u00E9\u0081") << file.what;
    }
}

TEST_F(ProfileReadTest, ResultAndDefaultAreCutToTheBuffer) {
    Store("[S]\r\nk=abcdef\r\n");
    for (const char16_t* key : {u"k", u"missing"}) {
        for (const std::size_t size : {1U, 2U, 4U, 6U, 7U, 100U}) {
            std::vector<char16_t> buffer(size, u'#');
            const std::uint32_t count = ReadProfileValue(u"S", key, u"ABCDEF", buffer, FileName());
            const std::u16string full = key[0] == u'k' ? u"abcdef" : u"ABCDEF";
            ASSERT_EQ(count, std::min<std::size_t>(size - 1, 6)) << size;
            EXPECT_EQ(std::u16string(buffer.data(), count), full.substr(0, count));
            EXPECT_EQ(buffer[count], u'\0');
        }
    }
    std::array<char16_t, 2> untouched = {u'#', u'#'};
    EXPECT_EQ(ReadProfileValue(u"S", u"k", u"d", std::span(untouched).first(0), FileName()), 0U);
    EXPECT_EQ(untouched[0], u'#');
}

TEST_F(ProfileReadTest, DefaultLosesItsTrailingSpacesOnly) {
    Store("[S]\r\nk=value  \r\n");
    struct Case {
        const char16_t* defaultValue;
        std::u16string_view expected;
    };
    const auto cases = std::to_array<Case>({
        {u"d  ", u"d"},
        {u" d e ", u" d e"},
        {u"d \t ", u"d \t"},
        {u"d\t", u"d\t"},
        {u"   ", u""},
    });
    for (const auto& c : cases) {
        std::vector<char16_t> buffer(16, u'#');
        const std::uint32_t count =
            ReadProfileValue(u"S", u"missing", c.defaultValue, buffer, FileName());
        EXPECT_EQ(std::u16string(buffer.data(), count), c.expected)
            << testing::PrintToString(c.defaultValue);
    }
    std::vector<char16_t> buffer(3, u'#');
    EXPECT_EQ(ReadProfileValue(u"S", u"missing", u"ab   ", buffer, FileName()), 2U)
        << "the spaces go before the default is cut to the buffer";
    EXPECT_EQ(Read(u"S", u"k"), u"value") << "a stored value is trimmed as before";
}

TEST_F(ProfileReadTest, WhatIsNotARegularFileReadsAsMissing) {
    std::filesystem::create_directory(Folder() / "folder");
    ASSERT_EQ(::mkfifo((Folder() / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(Folder() / "fifo", Folder() / "link-to-fifo");
    for (const char* name : {"missing.ini", "folder", "fifo", "link-to-fifo", "missing/x.ini"}) {
        ReadFrom(name);
        EXPECT_EQ(Read(u"S", u"k"), u"<default>") << name;
    }
}

TEST_F(ProfileReadTest, EachReadSeesTheFileAsItIsNow) {
    Store("[S]\nk=one\n");
    EXPECT_EQ(Read(u"S", u"k"), u"one");
    Store("[S]\nk=two\n");  // same size, likely the same timestamp
    EXPECT_EQ(Read(u"S", u"k"), u"two");
    std::filesystem::remove(Folder() / "Quenmoor.ini");
    EXPECT_EQ(Read(u"S", u"k"), u"<default>");
}

}  // namespace
}  // namespace quenmoor::platform

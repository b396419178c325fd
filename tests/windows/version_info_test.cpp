// Reads the version resource of a built program through the Windows version API, the way
// Explorer's Details tab and deployment tools do, and checks it against the project's version.
// Usage: version_info_tests PROGRAM VERSION PRODUCT_NAME FILE_DESCRIPTION COMPANY COPYRIGHT
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/win32/windows_api.h"

namespace {

struct Expected {
    std::wstring program;
    std::wstring version;  // "major.minor.patch.tweak"
    std::wstring product_name;
    std::wstring file_description;
    std::wstring company;
    std::wstring copyright;
};
Expected expected;

// The four numbers of "a.b.c.d"; an empty result when the text is not of that form.
std::vector<WORD> VersionNumbers(const std::wstring& text) {
    std::vector<WORD> numbers;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t dot = std::min(text.find(L'.', start), text.size());
        const std::wstring part = text.substr(start, dot - start);
        if (part.empty() || part.size() > 5 ||
            part.find_first_not_of(L"0123456789") != std::wstring::npos) {
            return {};
        }
        const unsigned long value = std::stoul(part);
        if (value > 0xFFFF) {
            return {};
        }
        numbers.push_back(static_cast<WORD>(value));
        start = dot + 1;
    }
    return numbers.size() == 4 ? numbers : std::vector<WORD>{};
}

// The last part of a path: the program's file name, ".exe" included.
std::wstring FileName(const std::wstring& path) {
    return path.substr(path.find_last_of(L"\\/:") + 1);
}

// The whole version resource of the program, empty when it has none.
std::vector<std::byte> LoadVersionResource(const std::wstring& program) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<std::byte> block(size);
    if (::GetFileVersionInfoW(program.c_str(), 0, size, block.data()) == FALSE) {
        return {};
    }
    return block;
}

class VersionResourceTest : public testing::Test {
  protected:
    void SetUp() override {
        block_ = LoadVersionResource(expected.program);
        ASSERT_FALSE(block_.empty())
            << "no version resource in the program, error " << ::GetLastError();
    }

    // The value at `sub_block`, or nullptr with `length` 0.
    const void* Query(const std::wstring& sub_block, UINT& length) const {
        void* value = nullptr;
        length = 0;
        if (::VerQueryValueW(block_.data(), sub_block.c_str(), &value, &length) == FALSE) {
            return nullptr;
        }
        return value;
    }

    // The string value `name` in the first language the resource lists.
    std::wstring StringValue(const std::wstring& name) const {
        UINT length = 0;
        const auto* translation =
            static_cast<const WORD*>(Query(L"\\VarFileInfo\\Translation", length));
        if (translation == nullptr || length < 2 * sizeof(WORD)) {
            ADD_FAILURE() << "no translation table";
            return {};
        }
        wchar_t language[9] = {};
        std::swprintf(language, 9, L"%04x%04x", translation[0], translation[1]);
        const auto* text = static_cast<const wchar_t*>(
            Query(L"\\StringFileInfo\\" + std::wstring(language) + L"\\" + name, length));
        if (text == nullptr) {
            ADD_FAILURE() << "no string value";
            return {};
        }
        return {text, ::wcsnlen(text, length)};
    }

  private:
    std::vector<std::byte> block_;
};

TEST_F(VersionResourceTest, FixedInfoHoldsTheProjectVersionOfAnApplication) {
    const std::vector<WORD> version = VersionNumbers(expected.version);
    ASSERT_EQ(version.size(), 4U) << "expected version is not of the form a.b.c.d";
    const DWORD most = static_cast<DWORD>(version[0]) << 16U | version[1];
    const DWORD least = static_cast<DWORD>(version[2]) << 16U | version[3];

    UINT length = 0;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\", length));
    ASSERT_NE(info, nullptr);
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDU);
    EXPECT_EQ(info->dwFileVersionMS, most);
    EXPECT_EQ(info->dwFileVersionLS, least);
    EXPECT_EQ(info->dwProductVersionMS, most);
    EXPECT_EQ(info->dwProductVersionLS, least);
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(info->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
}

TEST_F(VersionResourceTest, StringTableNamesTheProgramAndItsVersion) {
    const std::wstring file = FileName(expected.program);
    const struct {
        const wchar_t* name;
        std::wstring value;
    } cases[] = {
        {L"FileVersion", expected.version},
        {L"ProductVersion", expected.version},
        {L"ProductName", expected.product_name},
        {L"FileDescription", expected.file_description},
        {L"CompanyName", expected.company},
        {L"LegalCopyright", expected.copyright},
        {L"OriginalFilename", file},
        {L"InternalName", file.substr(0, file.rfind(L'.'))},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(StringValue(entry.name), entry.value)
            << "value " << testing::PrintToString(std::wstring(entry.name));
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 7) {
        std::fputws(
            L"usage: version_info_tests PROGRAM VERSION PRODUCT_NAME FILE_DESCRIPTION "
            L"COMPANY COPYRIGHT\n",
            stderr);
        return 2;
    }
    expected = {argv[1], argv[2], argv[3], argv[4], argv[5], argv[6]};
    return RUN_ALL_TESTS();
}

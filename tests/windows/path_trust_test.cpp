// The trust test on Windows: the rule over security descriptors written as SDDL (Wine gives every
// real folder the same made-up descriptor, so the table is where the rule is tried), who counts as
// a service, and the held paths over real folders under kernel32.
#include "platform/path_trust.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/trust_rules.h"
// clang-format off
#include "platform/win32/windows_api.h"
#include <sddl.h>
// clang-format on
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace quenmoor::platform::win32 {
namespace {

constexpr DWORD Folder = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD File = FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD Reparse = FILE_ATTRIBUTE_REPARSE_POINT;

// The rights of C:\Ostrel after the deployment note's recipe, and as the folders below inherit it.
const std::string Locked = "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
const std::string Inherited =
    "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)";
// A folder a user made under C:\ with Windows' default rights, now owned by Administrators.
const std::string DefaultRights =
    "O:BAD:AI(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)"
    "(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)";

// Entries that Wine's SDDL reader does not take, added to the locked descriptor byte by byte.
enum class Added { Nothing, ObjectEntry, ConditionalEntry, NoAccessList };

struct TrustCase {
    const char* what;
    PathRole role;
    DWORD attributes;
    DWORD links;
    std::string sddl;
    const char* problem;  // null: trusted
    Added added = Added::Nothing;
};

// An entry that lets Everyone (S-1-1-0) add a file: an object entry naming a GUID, or a
// conditional one whose condition follows the SID.
std::vector<BYTE> EveryoneAddsAFile(Added kind) {
    const std::vector<BYTE> everyone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    std::vector<BYTE> entry = {0, 0, 0, 0, FILE_ADD_FILE, 0, 0, 0};
    if (kind == Added::ObjectEntry) {
        entry[0] = ACCESS_ALLOWED_OBJECT_ACE_TYPE;
        entry.insert(entry.end(), {ACE_OBJECT_TYPE_PRESENT, 0, 0, 0});
        entry.insert(entry.end(), 16, 0xAB);
    } else {
        entry[0] = ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
    }
    entry.insert(entry.end(), everyone.begin(), everyone.end());
    if (kind == Added::ConditionalEntry) {
        entry.insert(entry.end(), {'a', 'r', 't', 'x', 0, 0, 0, 0});
    }
    entry[2] = static_cast<BYTE>(entry.size());
    return entry;
}

// The row's descriptor in absolute form, with what `added` asks for.
class Descriptor {
  public:
    explicit Descriptor(const TrustCase& row) {
        EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            std::wstring(row.sddl.begin(), row.sddl.end()).c_str(), SDDL_REVISION_1, &parsed_,
            nullptr))
            << row.sddl << " error " << ::GetLastError();
        if (row.added == Added::Nothing || parsed_ == nullptr) {
            return;
        }
        PSID owner = nullptr;
        BOOL defaulted = FALSE;
        BOOL present = FALSE;
        PACL parsedList = nullptr;
        ::GetSecurityDescriptorOwner(parsed_, &owner, &defaulted);
        ::GetSecurityDescriptorDacl(parsed_, &present, &parsedList, &defaulted);
        ::InitializeSecurityDescriptor(&absolute_, SECURITY_DESCRIPTOR_REVISION);
        ::SetSecurityDescriptorOwner(&absolute_, owner, FALSE);
        if (row.added == Added::NoAccessList) {
            ::SetSecurityDescriptorDacl(&absolute_, TRUE, nullptr, FALSE);
            return;
        }
        std::vector<BYTE> entry = EveryoneAddsAFile(row.added);
        list_.resize(parsedList->AclSize + entry.size());
        PACL list = Acl();
        ::InitializeAcl(list, static_cast<DWORD>(list_.size()), ACL_REVISION_DS);
        for (DWORD at = 0; at < parsedList->AceCount; ++at) {
            void* each = nullptr;
            ::GetAce(parsedList, at, &each);
            ::AddAce(list, ACL_REVISION_DS, MAXDWORD, each,
                     static_cast<const ACE_HEADER*>(each)->AceSize);
        }
        EXPECT_TRUE(::AddAce(list, ACL_REVISION_DS, MAXDWORD, entry.data(),
                             static_cast<DWORD>(entry.size())));
        ::SetSecurityDescriptorDacl(&absolute_, TRUE, list, FALSE);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    ~Descriptor() { ::LocalFree(parsed_); }

    PSECURITY_DESCRIPTOR Get() { return absolute_.Revision != 0 ? &absolute_ : parsed_; }

  private:
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    PACL Acl() { return reinterpret_cast<PACL>(list_.data()); }

    PSECURITY_DESCRIPTOR parsed_ = nullptr;
    SECURITY_DESCRIPTOR absolute_{};
    std::vector<BYTE> list_;
};

class TrustRuleTest : public testing::TestWithParam<TrustCase> {};

TEST_P(TrustRuleTest, DecidesFromTheDescriptor) {
    const TrustCase& row = GetParam();
    Descriptor descriptor(row);
    ASSERT_NE(descriptor.Get(), nullptr);
    const auto problem = FindTrustProblem(row.role, {row.attributes, row.links, descriptor.Get()});
    EXPECT_EQ(problem.value_or("trusted"), row.problem == nullptr ? "trusted" : row.problem);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, TrustRuleTest,
    testing::Values(
        TrustCase{"locked_top", PathRole::Folder, Folder, 1, Locked, nullptr},
        TrustCase{"locked_below", PathRole::Folder, Folder, 1, Inherited, nullptr},
        TrustCase{"locked_copy_folder", PathRole::CopyFolder, Folder, 1,
                  Inherited + "(A;;0x2;;;LS)", nullptr},
        TrustCase{"locked_profile_folder", PathRole::ProfileFolder, Folder, 1,
                  Inherited + "(A;;0x42;;;LS)", nullptr},
        TrustCase{"locked_profile", PathRole::Profile, File, 1,
                  "O:BAD:AI(A;;0x1301bf;;;LS)(A;;0x120116;;;BU)(A;ID;FA;;;BA)(A;ID;FA;;;SY)"
                  "(A;ID;0x1200a9;;;BU)",
                  nullptr},
        TrustCase{"default_rights", PathRole::Folder, Folder, 1, DefaultRights,
                  "lets S-1-5-11 add a file"},
        TrustCase{
            "made_by_a_user", PathRole::Folder, Folder, 1,
            "O:S-1-5-21-1-2-3-1001" + DefaultRights.substr(4),
            "is owned by S-1-5-21-1-2-3-1001, not Administrators, SYSTEM or TrustedInstaller"},
        TrustCase{"owned_by_system", PathRole::Folder, Folder, 1, "O:SY" + Locked.substr(4),
                  nullptr},
        TrustCase{
            "owned_by_trustedinstaller", PathRole::Folder, Folder, 1,
            "O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464" + Locked.substr(4),
            nullptr},
        TrustCase{"add_a_file", PathRole::Folder, Folder, 1, Locked + "(A;;0x2;;;WD)",
                  "lets S-1-1-0 add a file"},
        TrustCase{"add_a_folder", PathRole::Folder, Folder, 1, Locked + "(A;;0x4;;;WD)",
                  "lets S-1-1-0 add a folder"},
        TrustCase{"delete_a_child", PathRole::Folder, Folder, 1, Locked + "(A;;0x40;;;WD)",
                  "lets S-1-1-0 delete a child"},
        TrustCase{"delete", PathRole::Folder, Folder, 1, Locked + "(A;;SD;;;WD)",
                  "lets S-1-1-0 delete or rename it"},
        TrustCase{"change_rights", PathRole::Folder, Folder, 1, Locked + "(A;;WD;;;WD)",
                  "lets S-1-1-0 change its rights"},
        TrustCase{"change_owner", PathRole::Folder, Folder, 1, Locked + "(A;;WO;;;WD)",
                  "lets S-1-1-0 change its owner"},
        TrustCase{"generic_write", PathRole::Folder, Folder, 1, Locked + "(A;;GW;;;AU)",
                  "lets S-1-5-11 add a file"},
        TrustCase{"inherited_entry", PathRole::Folder, Folder, 1, Inherited + "(A;ID;0x4;;;BU)",
                  "lets S-1-5-32-545 add a folder"},
        TrustCase{"inherit_only_entry", PathRole::Folder, Folder, 1, Locked + "(A;OICIIO;GA;;;WD)",
                  nullptr},
        TrustCase{"object_entry", PathRole::Folder, Folder, 1, Locked, "lets S-1-1-0 add a file",
                  Added::ObjectEntry},
        TrustCase{"conditional_entry", PathRole::Folder, Folder, 1, Locked,
                  "lets S-1-1-0 add a file under a condition", Added::ConditionalEntry},
        TrustCase{"deny_before_allow", PathRole::Folder, Folder, 1,
                  "O:BAD:P(D;;0x2;;;WD)(A;;FA;;;BA)(A;;0x2;;;WD)", "lets S-1-1-0 add a file"},
        TrustCase{"null_dacl", PathRole::Folder, Folder, 1, Locked,
                  "has no access list, so everyone may do anything", Added::NoAccessList},
        TrustCase{"owner_rights", PathRole::Folder, Folder, 1, Locked + "(A;;FA;;;OW)", nullptr},
        TrustCase{"task_outside_its_folders", PathRole::Folder, Folder, 1,
                  Inherited + "(A;;0x2;;;LS)", "lets S-1-5-19 add a file"},
        TrustCase{"task_adds_a_folder", PathRole::CopyFolder, Folder, 1,
                  Inherited + "(A;;0x6;;;LS)", "lets S-1-5-19 add a folder"},
        TrustCase{"task_deletes_in_copy_folder", PathRole::CopyFolder, Folder, 1,
                  Inherited + "(A;;0x42;;;LS)", "lets S-1-5-19 delete a child"},
        TrustCase{"users_delete_the_profile", PathRole::Profile, File, 1,
                  Inherited + "(A;;0x1301bf;;;BU)", "lets S-1-5-32-545 delete or rename it"},
        TrustCase{"profile_owned_by_the_task", PathRole::Profile, File, 1,
                  "O:LS" + Inherited.substr(4), nullptr},
        TrustCase{"folder_owned_by_the_task", PathRole::Folder, Folder, 1,
                  "O:LS" + Inherited.substr(4),
                  "is owned by S-1-5-19, not Administrators, SYSTEM or TrustedInstaller"},
        TrustCase{"folder_is_a_link", PathRole::Folder, Folder | Reparse, 1, Locked,
                  "is a junction, symbolic link or other reparse point"},
        TrustCase{"folder_is_a_file", PathRole::Folder, File, 1, Locked, "is not a folder"},
        TrustCase{"profile_is_a_folder", PathRole::Profile, Folder, 1, Inherited,
                  "is not a plain file"},
        TrustCase{"profile_hard_linked", PathRole::Profile, File, 2, Inherited, "has 2 links"}),
    [](const testing::TestParamInfo<TrustCase>& param) { return std::string(param.param.what); });

TEST(ServiceIdentityTest, ServiceAccountsAndTheServiceGroupCountOthersDoNot) {
    const std::vector<std::string> none;
    const std::vector<std::string> service = {"S-1-1-0", "S-1-5-6"};
    const std::vector<std::string> administrator = {"S-1-1-0", "S-1-5-32-544", "S-1-5-4",
                                                    "S-1-5-11"};
    EXPECT_TRUE(IsServiceIdentity("S-1-5-18", none));
    EXPECT_TRUE(IsServiceIdentity("S-1-5-19", none));
    EXPECT_TRUE(IsServiceIdentity("S-1-5-20", none));
    EXPECT_TRUE(IsServiceIdentity("S-1-5-21-1-2-3-1001", service));
    EXPECT_FALSE(IsServiceIdentity("S-1-5-21-1-2-3-1001", administrator));
}

// Real folders under kernel32: a folder a user made is not trusted, and what is held cannot be
// swapped until it is let go.
class HeldPathsTest : public testing::Test {
  protected:
    test::TempFolder temp;
    std::filesystem::path top = temp.Path() / "Ostrel";
    std::filesystem::path suporte = top / "Suporte";
    std::u16string source = temp.FileName("Ostrel\\Suporte\\Quenmoor.ini");
    std::u16string target = temp.FileName("Ostrel\\Programs\\Quenmoor.ini");

    void SetUp() override {
        std::filesystem::create_directories(suporte);
        std::filesystem::create_directories(top / "Programs");
        test::WriteBytes(suporte / "Quenmoor.ini", "[DEFAULT]\r\nVERSAO=7\r\n");
    }
};

TEST_F(HeldPathsTest, NothingOnThePathsCanBeSwappedWhileHeld) {
    const std::wstring profile = (suporte / "Quenmoor.ini").wstring();
    const std::wstring moved = (temp.Path() / "moved").wstring();
    {
        const HeldPaths held(source, target);
        EXPECT_TRUE(held.ProfileHeld());
        ASSERT_TRUE(held.Fault().has_value());
        EXPECT_TRUE(source.starts_with(held.Fault()->path)) << held.Fault()->reason;
        EXPECT_FALSE(::DeleteFileW(profile.c_str()));
        EXPECT_FALSE(::MoveFileW(suporte.wstring().c_str(), moved.c_str()));
        EXPECT_FALSE(::MoveFileW(top.wstring().c_str(), moved.c_str()));
    }
    EXPECT_TRUE(::DeleteFileW(profile.c_str()));
    EXPECT_TRUE(::MoveFileW(top.wstring().c_str(), moved.c_str()));
}

TEST_F(HeldPathsTest, AMissingProfileIsNotHeld) {
    std::filesystem::remove(suporte / "Quenmoor.ini");
    EXPECT_FALSE(HeldPaths(source, target).ProfileHeld());
}

}  // namespace
}  // namespace quenmoor::platform::win32

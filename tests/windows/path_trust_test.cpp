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

// The rights of C:\Ostrel after the deployment note's recipe, and as the folders below inherit it.
const std::string Locked = "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
const std::string Inherited =
    "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)";
// A folder a user made under C:\ with Windows' default rights, now owned by Administrators.
const std::string DefaultRights =
    "O:BAD:AI(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)"
    "(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)";
const std::string ByTheTask = "O:LS" + Inherited.substr(4);

// Entries that Wine's SDDL reader does not take, added to the descriptor byte by byte.
enum class Added { Nothing, ObjectEntry, ConditionalEntry, NoAccessList };

struct TrustCase {
    const char* what;
    PathRole role;
    std::string sddl;
    const char* problem;  // null: trusted
    Added added = Added::Nothing;
    DWORD attributes = 0;  // 0: a plain folder, or a plain file for the profile
    DWORD links = 1;
};

// An object entry naming a GUID, or a conditional one, that lets Everyone add a file.
std::vector<BYTE> EveryoneAddsAFile(Added kind) {
    const bool object = kind == Added::ObjectEntry;
    std::vector<BYTE> entry = {
        object ? BYTE{ACCESS_ALLOWED_OBJECT_ACE_TYPE} : BYTE{ACCESS_ALLOWED_CALLBACK_ACE_TYPE},
        0,
        0,
        0,
        FILE_ADD_FILE,
        0,
        0,
        0};
    if (object) {
        entry.insert(entry.end(), {ACE_OBJECT_TYPE_PRESENT, 0, 0, 0});
        entry.insert(entry.end(), 16, 0xAB);
    }
    entry.insert(entry.end(), {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0});  // S-1-1-0
    if (!object) {
        entry.insert(entry.end(), {'a', 'r', 't', 'x', 0, 0, 0, 0});  // the condition
    }
    entry[2] = static_cast<BYTE>(entry.size());
    return entry;
}

// The row's descriptor: as SDDL reads it, or rebuilt around its owner with what `added` asks.
struct Descriptor {
    std::unique_ptr<void, decltype(&::LocalFree)> parsed{nullptr, &::LocalFree};
    SECURITY_DESCRIPTOR rebuilt{};
    std::vector<BYTE> list;

    explicit Descriptor(const TrustCase& row) {
        PSECURITY_DESCRIPTOR read = nullptr;
        const std::wstring sddl(row.sddl.begin(), row.sddl.end());
        EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            sddl.c_str(), SDDL_REVISION_1, &read, nullptr))
            << row.sddl;
        parsed.reset(read);
        if (row.added == Added::Nothing || read == nullptr) {
            return;
        }
        PSID owner = nullptr;
        PACL old = nullptr;
        BOOL flag = FALSE;
        ::GetSecurityDescriptorOwner(read, &owner, &flag);
        ::GetSecurityDescriptorDacl(read, &flag, &old, &flag);
        ::InitializeSecurityDescriptor(&rebuilt, SECURITY_DESCRIPTOR_REVISION);
        ::SetSecurityDescriptorOwner(&rebuilt, owner, FALSE);
        if (row.added == Added::NoAccessList) {
            ::SetSecurityDescriptorDacl(&rebuilt, TRUE, nullptr, FALSE);
            return;
        }
        std::vector<BYTE> entry = EveryoneAddsAFile(row.added);
        list.resize(old->AclSize + entry.size());
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
        const auto acl = reinterpret_cast<PACL>(list.data());
        ::InitializeAcl(acl, static_cast<DWORD>(list.size()), ACL_REVISION_DS);
        void* first = nullptr;
        ::GetAce(old, 0, &first);
        ::AddAce(acl, ACL_REVISION_DS, MAXDWORD, first, old->AclSize - DWORD{sizeof(ACL)});
        EXPECT_TRUE(::AddAce(acl, ACL_REVISION_DS, MAXDWORD, entry.data(),
                             static_cast<DWORD>(entry.size())));
        ::SetSecurityDescriptorDacl(&rebuilt, TRUE, acl, FALSE);
    }
    PSECURITY_DESCRIPTOR Get() { return rebuilt.Revision != 0 ? &rebuilt : parsed.get(); }
};

class TrustRuleTest : public testing::TestWithParam<TrustCase> {};

TEST_P(TrustRuleTest, DecidesFromTheDescriptor) {
    const TrustCase& row = GetParam();
    Descriptor descriptor(row);
    ASSERT_NE(descriptor.Get(), nullptr);
    const DWORD plain =
        row.role == PathRole::Profile ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_DIRECTORY;
    const auto problem = FindTrustProblem(
        row.role, {row.attributes != 0 ? row.attributes : plain, row.links, descriptor.Get()});
    EXPECT_EQ(problem.value_or("trusted"), row.problem == nullptr ? "trusted" : row.problem);
}

constexpr auto Folder = PathRole::Folder;
constexpr auto Profile = PathRole::Profile;

INSTANTIATE_TEST_SUITE_P(
    Descriptors, TrustRuleTest,
    testing::Values(
        // The locked layout passes, each folder with what the task needs there.
        TrustCase{"locked_top", Folder, Locked, nullptr},
        TrustCase{"locked_below", Folder, Inherited, nullptr},
        TrustCase{"locked_copy_folder", PathRole::CopyFolder, Inherited + "(A;;0x2;;;LS)", nullptr},
        TrustCase{"locked_profile_folder", PathRole::ProfileFolder, Inherited + "(A;;0x42;;;LS)",
                  nullptr},
        TrustCase{"locked_profile", Profile,
                  "O:BAD:AI(A;;0x1301bf;;;LS)(A;;0x120116;;;BU)" + Inherited.substr(8), nullptr},
        TrustCase{
            "owned_by_trustedinstaller", Folder,
            "O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464" + Locked.substr(4),
            nullptr},
        TrustCase{"inherit_only_entry", Folder, Locked + "(A;OICIIO;GA;;;WD)", nullptr},
        TrustCase{"owner_rights", Folder, Locked + "(A;;FA;;;OW)", nullptr},
        TrustCase{"profile_owned_by_the_task", Profile, ByTheTask, nullptr},
        // Windows' defaults fail.
        TrustCase{"default_rights", Folder, DefaultRights, "lets S-1-5-11 add a file"},
        TrustCase{
            "made_by_a_user", Folder, "O:S-1-5-21-1-2-3-1001" + DefaultRights.substr(4),
            "is owned by S-1-5-21-1-2-3-1001, not Administrators, SYSTEM or TrustedInstaller"},
        // Each dangerous right alone fails, in every kind of entry.
        TrustCase{"add_a_file", Folder, Locked + "(A;;0x2;;;WD)", "lets S-1-1-0 add a file"},
        TrustCase{"add_a_folder", Folder, Locked + "(A;;0x4;;;WD)", "lets S-1-1-0 add a folder"},
        TrustCase{"delete_a_child", Folder, Locked + "(A;;0x40;;;WD)",
                  "lets S-1-1-0 delete a child"},
        TrustCase{"delete", Folder, Locked + "(A;;SD;;;WD)", "lets S-1-1-0 delete or rename it"},
        TrustCase{"change_rights", Folder, Locked + "(A;;WD;;;WD)",
                  "lets S-1-1-0 change its rights"},
        TrustCase{"change_owner", Folder, Locked + "(A;;WO;;;WD)", "lets S-1-1-0 change its owner"},
        TrustCase{"generic_write", Folder, Locked + "(A;;GW;;;AU)", "lets S-1-5-11 add a file"},
        TrustCase{"inherited_entry", Folder, Inherited + "(A;ID;0x4;;;BU)",
                  "lets S-1-5-32-545 add a folder"},
        TrustCase{"object_entry", Folder, Locked, "lets S-1-1-0 add a file", Added::ObjectEntry},
        TrustCase{"conditional_entry", Folder, Locked, "lets S-1-1-0 add a file under a condition",
                  Added::ConditionalEntry},
        TrustCase{"deny_before_allow", Folder, "O:BAD:P(D;;0x2;;;WD)(A;;FA;;;BA)(A;;0x2;;;WD)",
                  "lets S-1-1-0 add a file"},
        TrustCase{"null_dacl", Folder, Locked, "has no access list, so everyone may do anything",
                  Added::NoAccessList},
        // The task's identity gets what its job needs, where it needs it, and no more.
        TrustCase{"task_outside_its_folders", Folder, Inherited + "(A;;0x2;;;LS)",
                  "lets S-1-5-19 add a file"},
        TrustCase{"task_adds_a_folder", PathRole::CopyFolder, Inherited + "(A;;0x6;;;LS)",
                  "lets S-1-5-19 add a folder"},
        TrustCase{"task_deletes_in_copy_folder", PathRole::CopyFolder, Inherited + "(A;;0x42;;;LS)",
                  "lets S-1-5-19 delete a child"},
        TrustCase{"folder_owned_by_the_task", Folder, ByTheTask,
                  "is owned by S-1-5-19, not Administrators, SYSTEM or TrustedInstaller"},
        TrustCase{"users_delete_the_profile", Profile, Inherited + "(A;;0x1301bf;;;BU)",
                  "lets S-1-5-32-545 delete or rename it"},
        // What the entry is.
        TrustCase{"folder_is_a_link", Folder, Locked,
                  "is a junction, symbolic link or other reparse point", Added::Nothing,
                  FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT},
        TrustCase{"folder_is_a_file", Folder, Locked, "is not a folder", Added::Nothing,
                  FILE_ATTRIBUTE_ARCHIVE},
        TrustCase{"profile_hard_linked", Profile, Inherited, "has 2 links", Added::Nothing, 0, 2}),
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

#include "platform/win32/trust_rules.h"

#include <sddl.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace quenmoor::platform::win32 {
namespace {

constexpr const char* Administrators = "S-1-5-32-544";
constexpr const char* LocalSystem = "S-1-5-18";
constexpr const char* TrustedInstaller =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// The task's identity.
constexpr const char* LocalService = "S-1-5-19";
constexpr const char* NetworkService = "S-1-5-20";
constexpr const char* ServiceGroup = "S-1-5-6";
// Stands for whoever owns the entry, which is tested before any entry of the list.
constexpr const char* OwnerRights = "S-1-3-4";

bool Administers(const std::string& sid) {
    return sid == Administrators || sid == LocalSystem || sid == TrustedInstaller;
}

struct Right {
    DWORD bit;
    const char* what;
};
// What lets someone change where a path leads: what is in a folder, the folder itself, or who
// may change either. Reading and writing a file's contents is not among them.
constexpr std::array<Right, 6> FolderRights = {{
    {FILE_ADD_FILE, "add a file"},
    {FILE_ADD_SUBDIRECTORY, "add a folder"},
    {FILE_DELETE_CHILD, "delete a child"},
    {DELETE, "delete or rename it"},
    {WRITE_DAC, "change its rights"},
    {WRITE_OWNER, "change its owner"},
}};
constexpr std::array<Right, 3> FileRights = {{
    {DELETE, "delete or rename it"},
    {WRITE_DAC, "change its rights"},
    {WRITE_OWNER, "change its owner"},
}};

// What the task needs to do its job, and no more.
DWORD TaskNeeds(PathRole role) {
    switch (role) {
        case PathRole::ProfileFolder:
            return FILE_ADD_FILE | FILE_DELETE_CHILD;
        case PathRole::CopyFolder:
            return FILE_ADD_FILE;
        case PathRole::Profile:
            return ~DWORD{0};
        case PathRole::Folder:
            break;
    }
    return 0;
}

// One entry of an access list that grants: to whom, what, and whether only under a condition.
struct Grant {
    PSID sid;
    DWORD mask;
    bool conditional;
};
enum class EntryKind { Grants, Denies, Unknown };

template <typename T>
T ReadAt(const BYTE* at) {
    T value{};
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Reads one entry of a DACL. Plain, object and conditional (callback) entries keep the mask right
// after the header; object entries then carry flags and up to two GUIDs before the SID.
EntryKind ReadEntry(const ACE_HEADER& header, Grant& grant) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    const auto* bytes = reinterpret_cast<const BYTE*>(&header);
    const BYTE* body = bytes + sizeof(ACE_HEADER);
    std::size_t sidOffset = sizeof(ACE_HEADER) + sizeof(DWORD);
    switch (header.AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
            break;
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: {
            const auto flags = ReadAt<DWORD>(body + sizeof(DWORD));
            sidOffset += sizeof(DWORD);
            sidOffset += (flags & ACE_OBJECT_TYPE_PRESENT) != 0 ? sizeof(GUID) : 0;
            sidOffset += (flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) != 0 ? sizeof(GUID) : 0;
            break;
        }
        case ACCESS_DENIED_ACE_TYPE:
        case ACCESS_DENIED_OBJECT_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
            return EntryKind::Denies;
        default:
            return EntryKind::Unknown;
    }
    if (sidOffset + sizeof(SID) - sizeof(DWORD) > header.AceSize) {
        return EntryKind::Unknown;
    }
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
    grant.sid = const_cast<BYTE*>(bytes + sidOffset);
    if (::IsValidSid(grant.sid) == FALSE ||
        sidOffset + ::GetLengthSid(grant.sid) > header.AceSize) {
        return EntryKind::Unknown;
    }
    grant.mask = ReadAt<DWORD>(body);
    GENERIC_MAPPING fileMapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                   FILE_ALL_ACCESS};
    ::MapGenericMask(&grant.mask, &fileMapping);
    grant.conditional = header.AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
                        header.AceType == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
    return EntryKind::Grants;
}

std::optional<std::string> OwnerProblem(PathRole role, PSECURITY_DESCRIPTOR descriptor) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) == FALSE || owner == nullptr) {
        return "has no owner that can be told";
    }
    const std::string sid = SidText(owner);
    if (Administers(sid) || (role == PathRole::Profile && sid == LocalService)) {
        return std::nullopt;
    }
    return "is owned by " + sid +
           (role == PathRole::Profile
                ? ", not Administrators, SYSTEM, TrustedInstaller or LOCAL SERVICE"
                : ", not Administrators, SYSTEM or TrustedInstaller");
}

std::optional<std::string> AccessListProblem(PathRole role, PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL list = nullptr;
    if (::GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) == FALSE) {
        return "has an access list that cannot be read";
    }
    if (present == FALSE || list == nullptr) {
        return "has no access list, so everyone may do anything";
    }
    const std::span<const Right> rights =
        role == PathRole::Profile ? std::span<const Right>(FileRights) : FolderRights;
    // Deny entries are not weighed: an allow entry that someone else can use is a fault wherever
    // it stands, so the answer never depends on the order of the list.
    for (DWORD index = 0; index < list->AceCount; ++index) {
        void* entry = nullptr;
        if (::GetAce(list, index, &entry) == FALSE) {
            return "has an access list that cannot be read";
        }
        const auto& header = *static_cast<const ACE_HEADER*>(entry);
        if ((header.AceFlags & INHERIT_ONLY_ACE) != 0) {
            continue;  // for what is made below it, which is tested where the run meets it
        }
        Grant grant{};
        const EntryKind kind = ReadEntry(header, grant);
        if (kind == EntryKind::Unknown) {
            return "has an access entry of a kind this program does not know (type " +
                   std::to_string(header.AceType) + ")";
        }
        const std::string sid = kind == EntryKind::Grants ? SidText(grant.sid) : std::string();
        if (kind == EntryKind::Denies || Administers(sid) || sid == OwnerRights) {
            continue;
        }
        const DWORD beyondTheTask = grant.mask & ~(sid == LocalService ? TaskNeeds(role) : 0);
        const auto right = std::find_if(rights.begin(), rights.end(), [&](const Right& each) {
            return (beyondTheTask & each.bit) != 0;
        });
        if (right != rights.end()) {
            return "lets " + sid + " " + right->what +
                   (grant.conditional ? " under a condition" : "");
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> FindTrustProblem(PathRole role, const HandleFacts& facts) {
    if ((facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return "is a junction, symbolic link or other reparse point";
    }
    const bool folder = (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (role == PathRole::Profile) {
        if (folder) {
            return "is not a plain file";
        }
        if (facts.links != 1) {
            return "has " + std::to_string(facts.links) + " links";
        }
    } else if (!folder) {
        return "is not a folder";
    }
    if (auto problem = OwnerProblem(role, facts.descriptor)) {
        return problem;
    }
    return AccessListProblem(role, facts.descriptor);
}

bool IsServiceIdentity(const std::string& userSid, std::span<const std::string> groupSids) {
    if (userSid == LocalSystem || userSid == LocalService || userSid == NetworkService) {
        return true;
    }
    return std::find(groupSids.begin(), groupSids.end(), ServiceGroup) != groupSids.end();
}

std::string SidText(PSID sid) {
    LPWSTR wide = nullptr;
    if (sid == nullptr || ::ConvertSidToStringSidW(sid, &wide) == FALSE) {
        return "?";
    }
    std::string text;
    for (const wchar_t* at = wide; *at != L'\0'; ++at) {
        text += *at < 0x80 ? static_cast<char>(*at) : '?';
    }
    ::LocalFree(wide);
    return text;
}

}  // namespace quenmoor::platform::win32

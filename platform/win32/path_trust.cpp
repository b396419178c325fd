#include "platform/path_trust.h"

// clang-format off
#include "platform/win32/windows_api.h"
#include <aclapi.h>
// clang-format on

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/win32/trust_rules.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quenmoor::platform {

struct HeldPaths::Handles {
    std::vector<win32::FileHandle> open;
};

namespace {

using win32::PathRole;

struct LocalFreer {
    void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};

// Reads the owner, the access list and the kind of entry. Deletion is not shared: while the
// handle is open nobody can delete, rename or replace the entry, nor rename a folder above it.
// Windows weighs sharing only for handles that may read, write or delete, so the handle asks to
// read (list, for a folder) as well; reading and writing stay shared for the profile functions.
win32::FileHandle OpenHeld(const std::u16string& path, bool followLink) {
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return win32::FileHandle(::CreateFileW(
        win32::ToWide(path).c_str(), FILE_READ_DATA | READ_CONTROL | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr));
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

struct Tested {
    DWORD attributes = 0;
    std::optional<std::string> problem;  // nothing when the entry passes
};

// The trust test on one open entry.
Tested TestHeld(const win32::FileHandle& entry, PathRole role) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileInformationByHandle(entry.Get(), &information) == FALSE) {
        return {0, "cannot be tested (error " + std::to_string(::GetLastError()) + ")"};
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = ::GetSecurityInfo(entry.Get(), SE_FILE_OBJECT,
                                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                          nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        return {information.dwFileAttributes,
                "cannot be tested (error " + std::to_string(error) + ")"};
    }
    const std::unique_ptr<void, LocalFreer> owned(descriptor);
    return {information.dwFileAttributes,
            win32::FindTrustProblem(
                role, {information.dwFileAttributes, information.nNumberOfLinks, descriptor})};
}

// The folders of `path` below the drive, from the top down: C:\A\B\f gives C:\A and C:\A\B.
std::vector<std::u16string> FoldersOf(const std::u16string& path) {
    std::vector<std::u16string> folders;
    const std::size_t root = path.find(u'\\');
    for (std::size_t at = path.find(u'\\', root + 1); at != std::u16string::npos;
         at = path.find(u'\\', at + 1)) {
        folders.push_back(path.substr(0, at));
    }
    return folders;
}

struct Step {
    std::u16string path;
    PathRole role;
};

// Every folder of both paths once, the profile's first, each with what the task may do there.
std::vector<Step> FoldersToHold(const std::u16string& source, const std::u16string& target) {
    std::vector<Step> steps;
    const auto add = [&steps](const std::vector<std::u16string>& folders, PathRole last) {
        for (std::size_t at = 0; at < folders.size(); ++at) {
            const bool known = std::any_of(steps.begin(), steps.end(), [&](const Step& step) {
                return step.path == folders[at];
            });
            if (!known) {
                steps.push_back({folders[at], at + 1 == folders.size() ? last : PathRole::Folder});
            }
        }
    };
    add(FoldersOf(source), PathRole::ProfileFolder);
    add(FoldersOf(target), PathRole::CopyFolder);
    return steps;
}

}  // namespace

HeldPaths::HeldPaths(const std::u16string& source, const std::u16string& target)
    : handles_(std::make_unique<Handles>()) {
    const auto note = [this](const std::u16string& path, std::optional<std::string> problem) {
        if (problem && !fault_) {
            fault_ = TrustFault{path, std::move(*problem)};
        }
    };
    // Top-down: each folder is opened while the one above it is held, so the name of the next
    // one is looked up in a folder that can no longer be swapped.
    std::vector<std::u16string> missing;
    for (const Step& step : FoldersToHold(source, target)) {
        const bool belowMissing = std::any_of(missing.begin(), missing.end(), [&](const auto& m) {
            return step.path.starts_with(m + u'\\');
        });
        if (belowMissing) {
            continue;
        }
        win32::FileHandle folder = OpenHeld(step.path, false);
        if (!folder.Valid()) {
            const DWORD error = ::GetLastError();
            if (IsMissing(error)) {
                missing.push_back(step.path);
            } else {
                note(step.path,
                     "cannot be opened to test it (error " + std::to_string(error) + ")");
            }
            continue;
        }
        note(step.path, TestHeld(folder, step.role).problem);
        handles_->open.push_back(std::move(folder));
    }

    win32::FileHandle profile = OpenHeld(source, false);
    if (!profile.Valid()) {
        // Another program holding the profile so that it may be deleted is no fault of the
        // paths; the profile is just not held, and the run leaves it alone.
        const DWORD error = ::GetLastError();
        if (!IsMissing(error) && error != ERROR_SHARING_VIOLATION) {
            note(source, "cannot be opened to test it (error " + std::to_string(error) + ")");
        }
        return;
    }
    Tested tested = TestHeld(profile, PathRole::Profile);
    if ((tested.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
        FILE_ATTRIBUTE_DIRECTORY) {
        return;  // a plain folder at the profile's name: no profile, which the check reports
    }
    note(source, std::move(tested.problem));
    handles_->open.push_back(std::move(profile));
    if ((tested.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // An ordinary user's run still follows the link, as it always did; what it leads to is
        // held as well, or the run does not go on.
        win32::FileHandle leadsTo = OpenHeld(source, true);
        if (!leadsTo.Valid()) {
            return;
        }
        handles_->open.push_back(std::move(leadsTo));
    }
    profileHeld_ = true;
}

HeldPaths::~HeldPaths() = default;

bool RunsAsServiceIdentity() noexcept {
    try {
        HANDLE raw = nullptr;
        if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw) == FALSE) {
            return true;  // unknown: the trust test applies
        }
        const win32::FileHandle token(raw);
        const auto read = [&token](TOKEN_INFORMATION_CLASS what) {
            DWORD size = 0;
            static_cast<void>(::GetTokenInformation(token.Get(), what, nullptr, 0, &size));
            std::vector<BYTE> buffer(size);
            if (size == 0 ||
                ::GetTokenInformation(token.Get(), what, buffer.data(), size, &size) == FALSE) {
                buffer.clear();
            }
            return buffer;
        };
        const std::vector<BYTE> user = read(TokenUser);
        const std::vector<BYTE> groups = read(TokenGroups);
        if (user.empty() || groups.empty()) {
            return true;
        }
        // NOLINTBEGIN(cppcoreguidelines-pro-type-reinterpret-cast)
        const auto* userInfo = reinterpret_cast<const TOKEN_USER*>(user.data());
        const auto* groupInfo = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
        // NOLINTEND(cppcoreguidelines-pro-type-reinterpret-cast)
        std::vector<std::string> groupSids;
        for (DWORD at = 0; at < groupInfo->GroupCount; ++at) {
            // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-constant-array-index)
            groupSids.push_back(win32::SidText(groupInfo->Groups[at].Sid));
        }
        return win32::IsServiceIdentity(win32::SidText(userInfo->User.Sid), groupSids);
    } catch (...) {
        return true;
    }
}

}  // namespace quenmoor::platform

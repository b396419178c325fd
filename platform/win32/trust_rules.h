// Whether anyone but the trusted can change a folder on the run's paths or the profile, decided
// from what an open handle tells about it, kept apart from the calls that ask, so that every rule
// can be tried on security descriptors that Wine cannot give a real folder.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "platform/win32/windows_api.h"

namespace quenmoor::platform::win32 {

// What the run does with an entry decides what the task's own identity may do to it.
enum class PathRole {
    Folder,         // a folder above the profile or the copy: the task needs nothing
    ProfileFolder,  // the profile's folder: the task may add files and delete children there, in
                    // case kernel32 rewrites the profile by replacing it
    CopyFolder,     // the copy's folder: the task may add the copy
    Profile,        // the profile itself: the task may do anything to it, and own it
};

struct HandleFacts {
    DWORD attributes;                 // as GetFileInformationByHandle reports them
    DWORD links;                      // hard links to the entry
    PSECURITY_DESCRIPTOR descriptor;  // with its owner and DACL
};

// Nothing when only the trusted (Administrators, SYSTEM, TrustedInstaller, and the task's own
// identity where `role` needs it) can change the entry or what it leads to; otherwise why not,
// in plain ASCII to follow the entry's path ("lets S-1-5-11 add a file").
std::optional<std::string> FindTrustProblem(PathRole role, const HandleFacts& facts);

// Whether a token whose user is `userSid` and whose groups are `groupSids` belongs to a service
// or to a task running as one: SYSTEM, LOCAL SERVICE, NETWORK SERVICE, or any token holding the
// SERVICE group (S-1-5-6), which Windows gives every service's logon. SIDs as text (S-1-5-18).
bool IsServiceIdentity(const std::string& userSid, std::span<const std::string> groupSids);

// The SID as text, or "?" when it cannot be told.
std::string SidText(PSID sid);

}  // namespace quenmoor::platform::win32

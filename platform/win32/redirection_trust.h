// The redirection-trust request of Windows (RedirectionGuard), kept apart from how the function
// that takes it is found, so that the request itself can be tried against a stand-in.
#pragma once

#include "platform/win32/windows_api.h"

namespace quenmoor::platform::win32 {

// SetProcessMitigationPolicy, which kernel32 exports from Windows 8 on.
using SetMitigationPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY policy, PVOID buffer,
                                          SIZE_T length);

// Asks through `setPolicy` that this process follow no junction made by a non-administrator
// (ProcessRedirectionTrustPolicy, enforced rather than only audited); with no `setPolicy`, asks
// nothing. The answer is ignored: a Windows that does not know the policy refuses it, and the
// process then runs as it always did.
void AskForRedirectionTrust(SetMitigationPolicy setPolicy) noexcept;

}  // namespace quenmoor::platform::win32

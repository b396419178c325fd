#include "platform/process_hardening.h"

#include "platform/win32/redirection_trust.h"
#include "platform/win32/windows_api.h"

namespace quenmoor::platform {
namespace win32 {

// Microsoft's documentation numbers the policy 16; mingw-w64's list must agree, or the request
// would ask for another policy.
static_assert(ProcessRedirectionTrustPolicy == 16);
// The policy's structure is one DWORD of flags, whose lowest bit is EnforceRedirectionTrust (the
// next one, AuditRedirectionTrust, would only log what it lets through).
static_assert(sizeof(PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY) == sizeof(DWORD));
constexpr DWORD EnforceRedirectionTrust = 0x1;

void AskForRedirectionTrust(SetMitigationPolicy setPolicy) noexcept {
    if (setPolicy == nullptr) {
        return;
    }
    DWORD flags = EnforceRedirectionTrust;
    static_cast<void>(setPolicy(ProcessRedirectionTrustPolicy, &flags, sizeof flags));
}

}  // namespace win32

void RefuseUntrustedJunctions() noexcept {
    // Found at run time rather than imported: Windows 7 has no SetProcessMitigationPolicy and
    // would refuse to start a program that imports it.
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr) {
        return;
    }
    const FARPROC found = ::GetProcAddress(kernel32, "SetProcessMitigationPolicy");
    // Through the generic function type, which converts to any other without a warning.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    const auto generic = reinterpret_cast<void (*)()>(found);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    win32::AskForRedirectionTrust(reinterpret_cast<win32::SetMitigationPolicy>(generic));
}

}  // namespace quenmoor::platform

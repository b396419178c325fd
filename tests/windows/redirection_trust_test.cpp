// The redirection-trust request against a stand-in for SetProcessMitigationPolicy: the policy,
// its flags and the structure's length, and no request where Windows has no such function.
#include "platform/win32/redirection_trust.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/windows_api.h"

namespace quenmoor::platform::win32 {
namespace {

struct Request {
    int policy;
    DWORD flags;
    SIZE_T length;
};
std::vector<Request> requests;

// Refuses, as a Windows that does not know the policy does.
BOOL WINAPI RecordRequest(PROCESS_MITIGATION_POLICY policy, PVOID buffer, SIZE_T length) {
    requests.push_back(
        {policy, static_cast<const PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY*>(buffer)->Flags,
         length});
    return FALSE;
}

TEST(RedirectionTrustTest, AsksWindowsToEnforceItNotOnlyToAuditIt) {
    requests.clear();
    AskForRedirectionTrust(&RecordRequest);
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].policy, 16);  // ProcessRedirectionTrustPolicy
    EXPECT_EQ(requests[0].flags, 1U);   // EnforceRedirectionTrust alone
    EXPECT_EQ(requests[0].length, sizeof(DWORD));
}

TEST(RedirectionTrustTest, AsksNothingWhereWindowsHasNoSuchFunction) {
    requests.clear();
    AskForRedirectionTrust(nullptr);
    EXPECT_TRUE(requests.empty());
}

}  // namespace
}  // namespace quenmoor::platform::win32

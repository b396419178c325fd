// The platform's profile functions and file operations over the recording double. A test program
// linked with this file gets these in place of the system's, so it sees every call the run and
// TIniFile make, the flush and the copy included, in order.
#include <string_view>

#include "platform/file_operations.h"
#include "platform/path_trust.h"
#include "platform/profile_functions.h"
#include "support/recording_profile.h"
#include "text/nul_terminated.h"

namespace quenmoor::test {

ProfileRecording& Recorded() {
    static ProfileRecording recording;
    return recording;
}

}  // namespace quenmoor::test

namespace quenmoor::platform {
namespace {

std::u16string Text(const char16_t* text) { return text == nullptr ? u"<null>" : text; }

}  // namespace

std::uint32_t ReadProfileValue(const char16_t* section, const char16_t* key,
                               const char16_t* defaultValue, std::span<char16_t> buffer,
                               const char16_t* /*fileName*/) {
    const std::u16string value =
        test::Recorded().Read(Text(section), Text(key)).value_or(Text(defaultValue));
    return text::CopyWithNul(std::u16string_view(value), buffer);
}

bool WriteProfileValue(const char16_t* section, const char16_t* key, const char16_t* value,
                       const char16_t* fileName) {
    if (section == nullptr && key == nullptr && value == nullptr) {
        test::Recorded().calls.push_back(u"FLUSH " + Text(fileName));
        return false;
    }
    return test::Recorded().Write(Text(section), Text(key), Text(value));
}

bool FileExists(const std::u16string& path) {
    test::Recorded().calls.push_back(u"EXISTS " + path);
    return test::Recorded().fileExists;
}

bool FileIsReadable(const std::u16string& path) {
    test::Recorded().calls.push_back(u"READABLE " + path);
    return true;
}

struct HeldPaths::Handles {};

HeldPaths::HeldPaths(const std::u16string& source, const std::u16string& target) {
    test::Recorded().calls.push_back(u"HOLD " + source + u">" + target);
    profileHeld_ = test::Recorded().profileHeld;
    if (const auto& fault = test::Recorded().trustFault) {
        fault_ = TrustFault{fault->first, fault->second};
    }
}

HeldPaths::~HeldPaths() { test::Recorded().calls.emplace_back(u"RELEASE"); }

bool RunsAsServiceIdentity() noexcept { return test::Recorded().serviceIdentity; }

bool CopyFileNoOverwrite(const std::u16string& source, const std::u16string& target) {
    test::Recorded().calls.push_back(u"COPY " + source + u">" + target);
    return true;
}

}  // namespace quenmoor::platform

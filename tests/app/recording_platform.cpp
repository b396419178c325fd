#include "app/recording_platform.h"

#include <algorithm>

#include "platform/file_operations.h"
#include "platform/profile_functions.h"
#include "profile/integer_text.h"

namespace quenmoor::test {

RecordedPlatform& Recorded() {
    static RecordedPlatform platform;
    return platform;
}

}  // namespace quenmoor::test

namespace quenmoor::platform {
namespace {

std::u16string Text(const char16_t* text) { return text == nullptr ? u"<null>" : text; }

}  // namespace

std::uint32_t ReadProfileValue(const char16_t* section, const char16_t* key,
                               const char16_t* defaultValue, std::span<char16_t> buffer,
                               const char16_t* /*fileName*/) {
    auto& platform = test::Recorded();
    platform.calls.push_back(u"R " + Text(section) + u"/" + Text(key) + u"|" + Text(defaultValue) +
                             u"|" +
                             profile::IntegerToText(static_cast<std::int32_t>(buffer.size())));
    const auto found = platform.values.find({Text(section), Text(key)});
    const std::u16string value =
        found == platform.values.end() ? Text(defaultValue) : found->second;
    const std::size_t count = std::min(value.size(), buffer.size() - 1);
    std::copy_n(value.begin(), count, buffer.begin());
    buffer[count] = u'\0';
    return static_cast<std::uint32_t>(count);
}

bool WriteProfileValue(const char16_t* section, const char16_t* key, const char16_t* value,
                       const char16_t* fileName) {
    auto& platform = test::Recorded();
    if (section == nullptr && key == nullptr && value == nullptr) {
        platform.calls.push_back(u"FLUSH " + Text(fileName));
        return false;
    }
    platform.calls.push_back(u"W " + Text(section) + u"/" + Text(key) + u"=" + Text(value));
    if (++platform.writeCount == platform.refusedWrite) {
        return false;
    }
    platform.values[{Text(section), Text(key)}] = Text(value);
    return true;
}

bool FileExists(const std::u16string& path) {
    test::Recorded().calls.push_back(u"EXISTS " + path);
    return test::Recorded().fileExists;
}

bool FileIsReadable(const std::u16string& path) {
    test::Recorded().calls.push_back(u"READABLE " + path);
    return true;
}

bool CopyFileNoOverwrite(const std::u16string& source, const std::u16string& target) {
    test::Recorded().calls.push_back(u"COPY " + source + u">" + target);
    return true;
}

}  // namespace quenmoor::platform

#include "platform/posix/native_path.h"

#include <algorithm>

#include "platform/posix/drive_root.h"
#include "platform/posix/utf8.h"

namespace quenmoor::platform::posix {

std::optional<std::string> NativePath(std::u16string_view path) {
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    std::string prefix;
    constexpr std::u16string_view DrivePrefixUpper = u"C:\\";
    constexpr std::u16string_view DrivePrefixLower = u"c:\\";
    if (path.starts_with(DrivePrefixUpper) || path.starts_with(DrivePrefixLower)) {
        prefix = DriveRoot;
        path.remove_prefix(DrivePrefixUpper.size());
    }
    auto rest = ToUtf8(path);
    if (!rest) {
        return std::nullopt;
    }
    std::replace(rest->begin(), rest->end(), '\\', '/');
    return prefix + *rest;
}

}  // namespace quenmoor::platform::posix

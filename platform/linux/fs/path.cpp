#include "platform/linux/fs/path.h"

#include <algorithm>

#include "platform/linux/fs/drive_root.h"
#include "text/utf.h"

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
    auto rest = text::ToUtf8(path);
    if (!rest) {
        return std::nullopt;
    }
    std::replace(rest->begin(), rest->end(), '\\', '/');
    return prefix + *rest;
}

std::string_view DriveFolder() { return DriveRoot; }

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace quenmoor::platform::posix

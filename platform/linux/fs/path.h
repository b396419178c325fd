// Paths: the program's Windows-style paths turned into POSIX ones, and a path's parts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::platform::posix {

// A leading drive "C:\" (either letter case) becomes the drive-root directory chosen at build
// time, every backslash becomes a slash, and the result is UTF-8. Other paths keep their form, so
// tests can hand in ordinary POSIX paths. Nothing when the path cannot be a file name: it holds
// an unpaired surrogate or a NUL.
std::optional<std::string> NativePath(std::u16string_view path);

// The directory that stands for "C:\", with one trailing slash.
std::string_view DriveFolder();

// The folder part and the name part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

}  // namespace quenmoor::platform::posix

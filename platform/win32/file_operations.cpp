#include "platform/file_operations.h"

#include <windows.h>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quenmoor::platform {
namespace {

bool IsDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// A link or other reparse point counts when what it leads to can be opened for reading, or is
// held open by another process that denies sharing.
bool ReparseTargetReadable(const std::wstring& path) {
    const win32::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() || ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// When the attributes cannot be read for another reason than a missing path (access denied on
// a parent folder, for instance), the folder listing may still show the file.
bool FoundByDirectorySearch(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    const win32::FindHandle search(::FindFirstFileW(path.c_str(), &found));
    return search.Valid() && !IsDirectory(found.dwFileAttributes);
}

}  // namespace

bool FileExists(const std::u16string& path) {
    const std::wstring wide = win32::ToWide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (IsDirectory(attributes)) {
            return false;
        }
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return ReparseTargetReadable(wide);
        }
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME) {
        return false;
    }
    return FoundByDirectorySearch(wide);
}

bool CopyFileNoOverwrite(const std::u16string& source, const std::u16string& target) {
    constexpr BOOL FailIfExists = TRUE;
    return ::CopyFileW(win32::ToWide(source).c_str(), win32::ToWide(target).c_str(),
                       FailIfExists) != FALSE;
}

}  // namespace quenmoor::platform

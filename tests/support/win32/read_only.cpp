#include "support/read_only.h"

#include <windows.h>

namespace quenmoor::test {

bool MakeReadOnly(const std::filesystem::path& path) {
    if (::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY) == FALSE) {
        return false;
    }
    const HANDLE probe = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return true;
    }
    ::CloseHandle(probe);
    return false;
}

}  // namespace quenmoor::test

// Opening and writing files for the benchmarks with kernel32, through the program's own handle
// type, and a check that turns a failed call into an exception carrying its error code.
#pragma once

#include <algorithm>
#include <string>
#include <system_error>
#include <utility>

#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace quenmoor::bench::win32 {

inline void Check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
    }
}

using Handle = platform::win32::FileHandle;

inline Handle OpenForReading(const std::wstring& path) {
    Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    Check(file.Valid(), "open for reading");
    return file;
}

inline Handle OpenForWriting(const std::wstring& path, DWORD disposition) {
    Handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    Check(file.Valid(), "open for writing");
    return file;
}

inline void WriteAll(const Handle& file, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30U));
        Check(::WriteFile(file.Get(), data, chunk, &written, nullptr) != FALSE && written > 0,
              "write");
        data += written;
        size -= written;
    }
}

}  // namespace quenmoor::bench::win32

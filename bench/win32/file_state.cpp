#include "bench/file_state.h"

#include <array>

#include "bench/win32/file_calls.h"
#include "platform/win32/windows_api.h"

namespace quenmoor::bench {

using win32::Check;

void RestoreFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    const win32::Handle input = win32::OpenForReading(from.wstring());
    win32::Handle output = win32::OpenForWriting(to.wstring(), CREATE_ALWAYS);
    std::array<char, std::size_t{1} << 16U> chunk{};
    for (;;) {
        DWORD got = 0;
        Check(::ReadFile(input.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                         nullptr) != FALSE,
              "read " + from.string());
        if (got == 0) {
            break;
        }
        win32::WriteAll(output, chunk.data(), got);
    }
    Check(::FlushFileBuffers(output.Get()) != FALSE && output.Close(), "flush " + to.string());
}

void RemoveFile(const std::filesystem::path& path) {
    if (::DeleteFileW(path.wstring().c_str()) == FALSE) {
        Check(::GetLastError() == ERROR_FILE_NOT_FOUND, "remove " + path.string());
    }
}

}  // namespace quenmoor::bench

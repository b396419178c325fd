// The floor with kernel32 calls: ReadFile, WriteFile, FlushFileBuffers, MoveFileExW and
// CopyFileW, which is all a Windows program has for the same steps.
#include "bench/floor.h"

#include <string>

#include "bench/win32/file_calls.h"
#include "platform/win32/windows_api.h"

namespace quenmoor::bench {
namespace {

using win32::Check;

std::string ReadWhole(const std::wstring& path) {
    const win32::Handle file = win32::OpenForReading(path);
    LARGE_INTEGER size{};
    Check(::GetFileSizeEx(file.Get(), &size) != FALSE, "size");
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t used = 0;
    while (used < bytes.size()) {
        DWORD got = 0;
        const auto chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - used, 1U << 30U));
        Check(::ReadFile(file.Get(), bytes.data() + used, chunk, &got, nullptr) != FALSE && got > 0,
              "read");
        used += got;
    }
    return bytes;
}

void ReplaceDurably(const std::wstring& path, const std::string& bytes) {
    const std::wstring temporary = path + L".floor";
    {
        win32::Handle file = win32::OpenForWriting(temporary, CREATE_NEW);
        win32::WriteAll(file, bytes.data(), bytes.size());
        Check(::FlushFileBuffers(file.Get()) != FALSE && file.Close(), "flush");
    }
    Check(::MoveFileExW(temporary.c_str(), path.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE,
          "rename");
}

}  // namespace

void RunFloor(const std::filesystem::path& source, const std::filesystem::path& target) {
    const std::wstring path = source.wstring();
    ReplaceDurably(path, ReadWhole(path));
    constexpr BOOL FailIfExists = TRUE;
    Check(::CopyFileW(path.c_str(), target.wstring().c_str(), FailIfExists) != FALSE, "copy");
}

}  // namespace quenmoor::bench

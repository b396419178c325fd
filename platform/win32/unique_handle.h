// Owns one kernel32 handle and releases it with the function that matches how it was opened.
#pragma once

#include <utility>

#include "platform/win32/windows_api.h"

namespace quenmoor::platform::win32 {

template <BOOL(WINAPI* Release)(HANDLE)>
class UniqueHandle {
  public:
    explicit UniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    UniqueHandle& operator=(UniqueHandle&&) = delete;
    ~UniqueHandle() { Close(); }

    [[nodiscard]] HANDLE Get() const noexcept { return handle_; }
    [[nodiscard]] bool Valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }

    // Releases the handle now and reports whether that succeeded; a failed close after writing
    // can mean the data never reached the disk.
    bool Close() noexcept {
        const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
        return handle == INVALID_HANDLE_VALUE || Release(handle) != FALSE;
    }

  private:
    HANDLE handle_;
};

using FileHandle = UniqueHandle<&::CloseHandle>;
using FindHandle = UniqueHandle<&::FindClose>;

}  // namespace quenmoor::platform::win32

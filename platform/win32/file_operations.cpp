#include "platform/file_operations.h"

#include <optional>
#include <string>
#include <utility>

#include "platform/win32/file_existence.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace quenmoor::platform {
namespace {

// The existence test's questions, answered by kernel32.
class KernelPathQuestions final : public win32::PathQuestions {
  public:
    explicit KernelPathQuestions(std::wstring path) : path_(std::move(path)) {}

    Attributes ReadAttributes() override {
        const DWORD value = ::GetFileAttributesW(path_.c_str());
        return {value, value == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_SUCCESS};
    }

    DWORD OpenForReading() override {
        const win32::FileHandle file(::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                   nullptr));
        return file.Valid() ? ERROR_SUCCESS : ::GetLastError();
    }

    std::optional<DWORD> FindEntry() override {
        WIN32_FIND_DATAW found{};
        const win32::FindHandle search(::FindFirstFileW(path_.c_str(), &found));
        if (!search.Valid()) {
            return std::nullopt;
        }
        return found.dwFileAttributes;
    }

  private:
    std::wstring path_;
};

}  // namespace

bool FileExists(const std::u16string& path) {
    KernelPathQuestions questions(win32::ToWide(path));
    return win32::CountsAsExistingFile(questions);
}

bool FileIsReadable(const std::u16string& path) {
    // kernel32's profile functions say nothing when they cannot open the file: they hand back
    // the defaults. Opening it here tells that apart, as far as an open can tell.
    constexpr DWORD AnySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const win32::FileHandle file(::CreateFileW(win32::ToWide(path).c_str(), GENERIC_READ,
                                               AnySharing, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid();
}

bool CopyFileNoOverwrite(const std::u16string& source, const std::u16string& target) {
    constexpr BOOL FailIfExists = TRUE;
    return ::CopyFileW(win32::ToWide(source).c_str(), win32::ToWide(target).c_str(),
                       FailIfExists) != FALSE;
}

}  // namespace quenmoor::platform

// When a path counts as an existing file on Windows, kept apart from the kernel32 calls that
// answer its questions, so that every branch can be tried, also with answers (a reparse point
// to a file, a locked target, a failure other than a missing path) that Wine cannot produce.
#pragma once

#include <optional>

#include "platform/win32/windows_api.h"

namespace quenmoor::platform::win32 {

// The questions the existence test asks about one path. Each is asked at most once, and only when
// the answers before it leave the verdict open.
class PathQuestions {
  public:
    PathQuestions() = default;
    PathQuestions(const PathQuestions&) = delete;
    PathQuestions& operator=(const PathQuestions&) = delete;
    PathQuestions(PathQuestions&&) = delete;
    PathQuestions& operator=(PathQuestions&&) = delete;
    virtual ~PathQuestions() = default;

    struct Attributes {
        DWORD value;  // INVALID_FILE_ATTRIBUTES when they cannot be read
        DWORD error;  // the reason then
    };
    // GetFileAttributesW.
    virtual Attributes ReadAttributes() = 0;
    // CreateFileW for reading with read sharing, closed again at once: ERROR_SUCCESS when it
    // opened, else the reason it did not.
    virtual DWORD OpenForReading() = 0;
    // FindFirstFileW, closed again at once: the attributes of the entry found, if any.
    virtual std::optional<DWORD> FindEntry() = 0;
};

bool CountsAsExistingFile(PathQuestions& path);

}  // namespace quenmoor::platform::win32

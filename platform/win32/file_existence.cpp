#include "platform/win32/file_existence.h"

namespace quenmoor::platform::win32 {
namespace {

bool IsDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// A missing path or a malformed name (wildcards, for instance) settles the question; a search
// for such a name could find some other file.
bool SaysMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME;
}

}  // namespace

bool CountsAsExistingFile(PathQuestions& path) {
    const PathQuestions::Attributes attributes = path.ReadAttributes();
    if (attributes.value != INVALID_FILE_ATTRIBUTES) {
        if (IsDirectory(attributes.value)) {
            return false;
        }
        if ((attributes.value & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // A link counts when what it leads to can be read, or is held open by another
            // process that denies sharing.
            const DWORD error = path.OpenForReading();
            return error == ERROR_SUCCESS || error == ERROR_SHARING_VIOLATION;
        }
        return true;
    }
    if (SaysMissing(attributes.error)) {
        return false;
    }
    // The attributes could not be read for another reason (access denied on a parent folder,
    // for instance): the folder listing may still show the file.
    const std::optional<DWORD> found = path.FindEntry();
    return found && !IsDirectory(*found);
}

}  // namespace quenmoor::platform::win32

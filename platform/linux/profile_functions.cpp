// The profile functions on POSIX: every read answers from the file as it is on disk at that
// moment (through a kept copy only while the file provably has not changed, see profile_cache.cpp)
// and every change replaces it whole and durably before the call returns.
#include "platform/profile_functions.h"

#include <optional>
#include <string>
#include <string_view>

#include "ini/edit.h"
#include "platform/linux/fs/durable_write.h"
#include "platform/linux/fs/path.h"
#include "platform/linux/profile_cache.h"
#include "platform/linux/profile_for_update.h"
#include "text/nul_terminated.h"

namespace quenmoor::platform {
namespace {

// Windows hands back the default without its trailing spaces, as Microsoft documents; a default
// of nothing but spaces is taken as empty.
std::u16string_view DefaultWithoutTrailingSpaces(const char16_t* defaultValue) {
    std::u16string_view text = defaultValue != nullptr ? defaultValue : u"";
    const auto last = text.find_last_not_of(u' ');
    return text.substr(0, last == std::u16string_view::npos ? 0 : last + 1);
}

std::optional<std::u16string> ReadValue(const char16_t* section, const char16_t* key,
                                        const char16_t* fileName) {
    const auto path = posix::NativePath(fileName);
    if (!path) {
        return std::nullopt;
    }
    return posix::SharedProfileCache().FindValue(*path, section, key);
}

// Plans one edit of the profile with `planEdit` and writes the result durably, unless the edit is
// refused or changes nothing.
template <typename PlanEdit>
bool ApplyEditToFile(const char16_t* fileName, PlanEdit planEdit) {
    const auto path = posix::NativePath(fileName);
    if (!path) {
        posix::SharedProfileCache().Forget();
        return false;
    }
    // The read cache's copy when it provably is the file on disk; otherwise the file is read.
    auto kept = posix::SharedProfileCache().Take(*path);
    const auto profile =
        kept ? posix::LoadProfileForUpdate(*path, std::move(kept->bytes), kept->info)
             : posix::LoadProfileForUpdate(*path);
    if (!profile) {
        return false;
    }
    const ini::ProfileEdit edit = planEdit(std::string_view(profile->bytes));
    switch (edit.outcome) {
        case ini::EditOutcome::Unchanged:
            return true;
        case ini::EditOutcome::Refused:
            return false;
        case ini::EditOutcome::Changed:
            break;
    }
    if (profile->info && edit.KeepsEveryByte(profile->bytes)) {
        return true;
    }
    const auto placement = profile->info ? posix::Placement::Replace(*profile->info)
                                         : posix::Placement::CreateIfFree(posix::NewFileMode());
    return posix::WriteFileDurably(profile->path, edit.Pieces(profile->bytes), placement);
}

}  // namespace

// Null section or key lie outside the contract; they read as a missing key, and a null default
// as an empty one.
std::uint32_t ReadProfileValue(const char16_t* section, const char16_t* key,
                               const char16_t* defaultValue, std::span<char16_t> buffer,
                               const char16_t* fileName) {
    if (buffer.empty()) {
        return 0;
    }
    if (section != nullptr && key != nullptr && fileName != nullptr) {
        if (const auto value = ReadValue(section, key, fileName)) {
            return text::CopyWithNul(std::u16string_view(*value), buffer);
        }
    }
    return text::CopyWithNul(DefaultWithoutTrailingSpaces(defaultValue), buffer);
}

// All three names null is the flush request. No write is ever held back here, so there is nothing
// to write out; like Windows after a flush, the answer is false. A value or key without a section
// names nothing and is refused.
bool WriteProfileValue(const char16_t* section, const char16_t* key, const char16_t* value,
                       const char16_t* fileName) {
    if (fileName == nullptr || section == nullptr) {
        return false;
    }
    if (key == nullptr) {
        return ApplyEditToFile(fileName, [section](std::string_view bytes) {
            return ini::RemoveSection(bytes, section);
        });
    }
    if (value == nullptr) {
        return ApplyEditToFile(fileName, [section, key](std::string_view bytes) {
            return ini::RemoveKey(bytes, section, key);
        });
    }
    return ApplyEditToFile(fileName, [section, key, value](std::string_view bytes) {
        return ini::SetValue(bytes, section, key, value);
    });
}

}  // namespace quenmoor::platform

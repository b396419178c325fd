// Writing a whole file so that its name always holds either what was there before or the new
// file, complete, and the new file is on disk when the call returns. The profile's replacement
// and its no-overwrite copy both go through here.
#pragma once

#include <sys/stat.h>

#include <span>
#include <string>
#include <string_view>

namespace quenmoor::platform::posix {

// Where the new file goes.
struct Placement {
    enum class Kind {
        Replace,       // over the file `previous` describes
        CreateIfFree,  // at a name that nothing holds
    };
    Kind kind = Kind::CreateIfFree;
    const struct stat* previous = nullptr;
    mode_t mode = 0;

    // Over the file that fstat described as `previous`: its permission bits, owner and group
    // carry over (when the owner cannot be kept the write fails), and the rename is called off
    // when the name no longer holds that very file, unchanged, so a change another program made
    // meanwhile is not overwritten.
    static Placement Replace(const struct stat& previous) {
        return {Kind::Replace, &previous, previous.st_mode};
    }
    // A new file with permission bits `mode`. Whatever appears at the name meanwhile (a file, a
    // folder, a link, dangling or not) is never touched, and the write then fails.
    static Placement CreateIfFree(mode_t mode) { return {Kind::CreateIfFree, nullptr, mode}; }
};

// Writes `pieces`, one after the other, to a new temporary file beside `path`, flushes it to
// disk, gives it the name `path` as `placement` says and flushes the folder. False on any
// failure; the temporary file is then removed, and unless the final folder flush failed, `path`
// is untouched. `path` must not be a symbolic link: resolve it first.
bool WriteFileDurably(const std::string& path, std::span<const std::string_view> pieces,
                      const Placement& placement);

// The permission bits of a new file that nobody chose them for: 0666 less the umask.
mode_t NewFileMode();

}  // namespace quenmoor::platform::posix

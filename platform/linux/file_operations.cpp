#include "platform/file_operations.h"

#include <sys/stat.h>

#include <array>
#include <string_view>

#include "platform/linux/fs/durable_write.h"
#include "platform/linux/fs/path.h"
#include "platform/linux/fs/read_file.h"

namespace quenmoor::platform {

bool FileExists(const std::u16string& path) {
    const auto native = posix::NativePath(path);
    // stat() follows links, so a link counts by what it leads to and a dangling link not at all.
    // Nothing is opened: a FIFO or device could block.
    struct stat info {};
    return native && ::stat(native->c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool FileIsReadable(const std::u16string& path) {
    const auto native = posix::NativePath(path);
    // The same read the profile functions make, which give the defaults when it fails.
    return native && posix::ReadRegularFile(*native, true).status == posix::ReadStatus::Read;
}

bool CopyFileNoOverwrite(const std::u16string& source, const std::u16string& target) {
    const auto from = posix::NativePath(source);
    const auto to = posix::NativePath(target);
    if (!from || !to) {
        return false;
    }
    // Only a regular file is copied; a FIFO put in its place is not waited on.
    const posix::FileContents file = posix::ReadRegularFile(*from, true);
    if (file.status != posix::ReadStatus::Read) {
        return false;
    }
    // The copy is complete and on disk before it gets the target name, and it gets that name only
    // if nothing has taken it in the meantime.
    const std::array<std::string_view, 1> pieces = {file.bytes};
    return posix::WriteFileDurably(*to, pieces, posix::Placement::CreateIfFree(file.info.st_mode));
}

}  // namespace quenmoor::platform

#include "support/read_only.h"

#include <sys/stat.h>

namespace quenmoor::test {

// Our POSIX profile layer takes a file without any write permission bit as read-only, for root
// too, so removing the bits is always enough.
bool MakeReadOnly(const std::filesystem::path& path) { return ::chmod(path.c_str(), 0444) == 0; }

}  // namespace quenmoor::test

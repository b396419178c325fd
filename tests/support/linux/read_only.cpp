#include "support/read_only.h"

#include <sys/stat.h>

namespace quenmoor::test {

// Our POSIX profile layer takes a file without any write permission bit as read-only, for root
// too, so removing the bits is always enough.
ReadOnlyFile::ReadOnlyFile(std::filesystem::path path) : path_(std::move(path)) {
    refuses_ = ::chmod(path_.c_str(), 0444) == 0;
}

ReadOnlyFile::~ReadOnlyFile() { ::chmod(path_.c_str(), 0644); }

}  // namespace quenmoor::test

// Makes a file read-only the platform's way for tests of refused writes, and writable again
// afterwards so that its folder can be removed.
#pragma once

#include <filesystem>

namespace quenmoor::test {

class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(std::filesystem::path path);
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ReadOnlyFile(ReadOnlyFile&&) = delete;
    ReadOnlyFile& operator=(ReadOnlyFile&&) = delete;
    ~ReadOnlyFile();

    // False when a writer can still open the file, so a test of refused writes cannot run.
    [[nodiscard]] bool Refuses() const { return refuses_; }

  private:
    std::filesystem::path path_;
    bool refuses_ = false;
    bool immutable_ = false;
};

}  // namespace quenmoor::test

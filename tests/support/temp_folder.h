// A fresh folder for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace quenmoor::test {

class TempFolder {
  public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    TempFolder(TempFolder&&) = delete;
    TempFolder& operator=(TempFolder&&) = delete;
    ~TempFolder();

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // The path of `name` inside the folder, as the profile code takes paths.
    [[nodiscard]] std::u16string FileName(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

}  // namespace quenmoor::test

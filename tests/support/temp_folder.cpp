#include "support/temp_folder.h"

#include <random>
#include <stdexcept>

namespace quenmoor::test {

TempFolder::TempFolder() {
    std::random_device entropy;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("quenmoor-test-" + std::to_string(entropy()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::u16string TempFolder::FileName(const std::string& name) const {
    return (path_ / name).u16string();
}

}  // namespace quenmoor::test

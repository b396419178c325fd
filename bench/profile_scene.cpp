#include "bench/profile_scene.h"

#include <string>
#include <thread>

#include "bench/file_state.h"

namespace quenmoor::bench {
namespace {

// Longer than the clock tick that stamps files on nanosecond file systems (at most 10 ms).
constexpr std::chrono::milliseconds SettleTime{50};

}  // namespace

ProfileScene::ProfileScene(const std::filesystem::path& root, ProfileSize size, LinkState state) {
    const std::filesystem::path folder =
        root / (std::string(Label(size)) + "-" + std::string(Label(state)));
    std::filesystem::create_directories(folder / "Suporte");
    std::filesystem::create_directories(folder / "Programs");
    pristine_ = folder / "generated.ini";
    source_ = folder / "Suporte" / "Quenmoor.ini";
    target_ = folder / "Programs" / "Quenmoor.ini";
    bytes_ = WriteProfile(pristine_, size, state);
}

void ProfileScene::Reset() const {
    RestoreFile(pristine_, source_);
    RemoveFile(target_);
    std::this_thread::sleep_for(SettleTime);
}

benchmark::IterationCount IterationsFor(ProfileSize size) {
    switch (size) {
        case ProfileSize::Reference:
            return 20;
        case ProfileSize::OneMegabyte:
            return 10;
        case ProfileSize::TenMegabytes:
            return 5;
    }
    return 1;
}

}  // namespace quenmoor::bench

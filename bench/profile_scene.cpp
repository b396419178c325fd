#include "bench/profile_scene.h"

#include <algorithm>
#include <string>
#include <thread>

#include "bench/file_state.h"

namespace quenmoor::bench {
namespace {

// Longer than the coarsest file-system time stamp granularity (FAT: two seconds).
constexpr std::chrono::milliseconds SettleTime{2500};

}  // namespace

RunFiles ShortLayout(const std::filesystem::path& runFolder) {
    return {runFolder / "Suporte" / "Quenmoor.ini", runFolder / "Programs" / "Quenmoor.ini"};
}

ProfileScene::ProfileScene(const std::filesystem::path& root, ProfileSize size, LinkState state,
                           RunLayout layout)
    : folder_(root / (std::string(Label(size)) + "-" + std::string(Label(state)))),
      pristine_(folder_ / "generated.ini"),
      layout_(layout) {
    std::filesystem::create_directories(folder_);
    bytes_ = WriteProfile(pristine_, size, state);
}

void ProfileScene::Prepare(std::size_t count, ProfileAge age) {
    runs_.clear();
    for (std::size_t iteration = 0; iteration < count; ++iteration) {
        RunFiles files = layout_(RunFolder(iteration));
        std::filesystem::create_directories(files.source.parent_path());
        std::filesystem::create_directories(files.target.parent_path());
        RestoreFile(pristine_, files.source);
        RemoveFile(files.target);
        runs_.push_back(std::move(files));
    }
    if (age == ProfileAge::Settled) {
        std::this_thread::sleep_for(SettleTime);
    }
}

std::filesystem::path ProfileScene::RunFolder(std::size_t iteration) const {
    return folder_ / ("run-" + std::to_string(iteration));
}

void ProfileScene::Rewrite(std::size_t iteration) const {
    RestoreFile(pristine_, Files(iteration).source);
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void ReportCaseCounters(benchmark::State& state, const ProfileScene& scene,
                        const std::vector<double>& seconds) {
    state.counters["bytes"] = static_cast<double>(scene.Bytes());
    state.counters["median_ms"] = 1000 * Median(seconds);
    state.counters["peak_rss_bytes"] = static_cast<double>(PeakResidentBytes());
}

benchmark::IterationCount IterationsFor(ProfileSize size, bool writesEveryLink) {
    switch (size) {
        case ProfileSize::Reference:
            return 15;
        case ProfileSize::OneMegabyte:
            return writesEveryLink ? 5 : 9;
        case ProfileSize::TenMegabytes:
            return writesEveryLink ? 3 : 9;
    }
    return 1;
}

}  // namespace quenmoor::bench

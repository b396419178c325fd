// One benchmark case on one generated profile: what is timed, and how its outcome is checked.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "bench/profile_scene.h"

namespace quenmoor::bench {

struct SceneCase {
    std::string name;
    ProfileSize size = ProfileSize::Reference;
    LinkState state = LinkState::Current;
    // True for the runs that rewrite every link, which get fewer iterations on large profiles.
    bool writesEveryLink = false;
    // True to run the floor beside every iteration (see TimePairedWithFloor).
    bool pairedWithFloor = false;
    // The timed work on one iteration's files; it throws when something fails.
    std::function<void(const RunFiles&)> run;
    // Looks at the files of the last iteration: empty when they are as `run` should leave them,
    // otherwise what is wrong. A case that did not do its work reports an error, not a time.
    std::function<std::string(const RunFiles&)> check;
};

// Registers the case with Google Benchmark; its profile lives under `root`.
void Register(const std::filesystem::path& root, SceneCase sceneCase);

}  // namespace quenmoor::bench

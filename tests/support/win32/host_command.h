// Runs a program of the Unix host from a Windows test program under Wine.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quenmoor::test {

// The host's own path for `path`, when running under Wine.
std::optional<std::string> HostPath(const std::filesystem::path& path);

enum class HostRun {
    Done,      // `done` held
    NoHost,    // not under Wine, or the program is not there: nothing was started
    TimedOut,  // started, but `done` did not hold within ten seconds
};

// Starts `program` (a host path) with `arguments` and waits up to ten seconds for `done` to hold.
// Wine hands back no process handle for a host program, so its effect is what is waited for.
HostRun RunOnHost(const std::string& program, const std::vector<std::string>& arguments,
                  const std::function<bool()>& done);

}  // namespace quenmoor::test

// Starting a program as a process and waiting for its end, as a user or a scheduled task does.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quenmoor::bench {

// Runs `arguments` (the program first) with no input and waits for it. Throws unless it ends
// with status 0.
void RunProcess(const std::vector<std::string>& arguments);

// Makes the symbolic link `link` lead to `folder`, replacing whatever link was there at once.
void PointLinkAt(const std::filesystem::path& link, const std::filesystem::path& folder);

}  // namespace quenmoor::bench

// The groups of benchmark cases; each profile a case uses is generated under `root`.
#pragma once

#include <filesystem>

namespace quenmoor::bench {

void RegisterRunUpdateBenchmarks(const std::filesystem::path& root);
void RegisterProfileFunctionBenchmarks(const std::filesystem::path& root);
void RegisterFloorBenchmarks(const std::filesystem::path& root);
// The built program and the floor as processes, from start to exit (native builds only).
void RegisterProcessBenchmarks(const std::filesystem::path& root);
// A case that does nothing: the memory a process of this binary needs before any profile work.
void RegisterBaselineBenchmark();

}  // namespace quenmoor::bench

// The profiles the benchmarks run on: a [DEFAULT] section and the branch sections FILIAL_00 to
// FILIAL_99, in three sizes and three states.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace quenmoor::bench {

enum class ProfileSize {
    Reference,    // about a dozen keys per section, some 40 KB: a profile as shops have it
    OneMegabyte,  // the same with many more keys per section
    TenMegabytes,
};

enum class LinkState {
    Current,      // every link already holds the new value: the run writes only the version
    Stale,        // every link holds an old value: the run writes all 202 of them
    VersionZero,  // the version gate stops the run after one read
};

inline constexpr std::array AllSizes = {ProfileSize::Reference, ProfileSize::OneMegabyte,
                                        ProfileSize::TenMegabytes};
inline constexpr std::array AllStates = {LinkState::Current, LinkState::Stale,
                                         LinkState::VersionZero};

// Short names used in benchmark names: "ref", "1MB", "10MB"; "current", "stale", "zero".
std::string_view Label(ProfileSize size);
std::string_view Label(LinkState state);

// Writes the profile of `size` and `state` to `path` line by line, with CR LF line ends.
// Returns the number of bytes written.
std::uintmax_t WriteProfile(const std::filesystem::path& path, ProfileSize size, LinkState state);

}  // namespace quenmoor::bench

// The update run: refreshes the two support links of the profile and advances its version.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "profile/custom_ini_file.h"

namespace quenmoor::app {

// "FILIAL_" and the branch number `n` (0 to 99) in two digits: FILIAL_00 ... FILIAL_99.
std::u16string BranchSectionName(int n);

// The version counter as the gate sees it: the value that lets the run go on, or nothing when it
// is 0, missing or not a number and the run must stop. One read.
std::optional<std::int32_t> VersionPastTheGate(profile::TCustomIniFile& Profile);

// Calls `visit(Value, Section, Ident)` for every link the run refreshes, in the run's order: the
// help-desk link, then the portal link, of DEFAULT and then of FILIAL_00 ... FILIAL_99.
using LinkVisitor = std::function<void(std::u16string_view Value, const std::u16string& Section,
                                       const std::u16string& Ident)>;
void ForEachLink(const LinkVisitor& visit);

// What the stored link means to the run: Blank (absent, or only characters below U+0021: never
// created or filled), Current (equal to `Value` once those characters are cut from both ends;
// letter case counts) or Stale (to be replaced). One read.
enum class LinkState { Blank, Current, Stale };
LinkState ReadLinkState(profile::TCustomIniFile& Profile, std::u16string_view Value,
                        const std::u16string& Section, const std::u16string& Ident);

// Writes `Value` to `Ident` of `Section` only where the stored link is Stale.
void RefreshLink(profile::TCustomIniFile& Profile, std::u16string_view Value,
                 const std::u16string& Section, const std::u16string& Ident);

// Reads the version counter and, unless it is 0, refreshes the links of the default section and
// of every branch section, then writes the version advanced by one. Returns false when the
// version gate stopped the run. A refused write raises EIniFileException and ends the pass.
bool UpdateProfile(profile::TCustomIniFile& Profile);

// The whole run over one profile: nothing happens unless `SourcePath` is an existing file that
// the run holds open, nor, under a service identity, when someone else could change where either
// path leads; the profile is closed (and flushed) on every path; the copy to `TargetPath` is
// made, without replacing anything there, only when the update went through. Failures propagate.
void RunUpdate(const std::u16string& SourcePath, const std::u16string& TargetPath);

}  // namespace quenmoor::app

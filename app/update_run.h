// The update run: refreshes the two support links of the profile and advances its version.
#pragma once

#include <string>
#include <string_view>

#include "profile/custom_ini_file.h"

namespace quenmoor::app {

// "FILIAL_" and the branch number `n` (0 to 99) in two digits: FILIAL_00 ... FILIAL_99.
std::u16string BranchSectionName(int n);

// Writes `Value` to `Ident` of `Section` only where the key holds a non-blank value that differs
// from it. Characters below U+0021 around the stored value are ignored for the comparison;
// letter case is not. An absent or blank key is never created or filled.
void RefreshLink(profile::TCustomIniFile& Profile, std::u16string_view Value,
                 const std::u16string& Section, const std::u16string& Ident);

// Reads the version counter and, unless it is 0, refreshes the links of the default section and
// of every branch section, then writes the version advanced by one. Returns false when the
// version gate stopped the run. A refused write raises EIniFileException and ends the pass.
bool UpdateProfile(profile::TCustomIniFile& Profile);

// The whole run over one profile: nothing happens unless `SourcePath` is an existing file; the
// profile is closed (and flushed) on every path; the copy to `TargetPath` is made, without
// replacing anything there, only when the update went through. Failures propagate.
void RunUpdate(const std::u16string& SourcePath, const std::u16string& TargetPath);

}  // namespace quenmoor::app

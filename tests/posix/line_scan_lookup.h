// Lookups done the plain way: every line read in order from the top of the text. The section
// index must answer exactly as these do; they are kept as simple as the line rules allow, so that
// they are easy to trust.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ini/index.h"
#include "ini/text.h"

namespace quenmoor::test {

ini::LookupResult ScanForSection(const ini::ProfileText& text, std::u16string_view section,
                                 std::optional<std::u16string_view> key);

// The value of `key` in `section`, quotes removed; nothing when either is missing.
std::optional<std::u16string> ScanForValue(const ini::ProfileText& text,
                                           std::u16string_view section, std::u16string_view key);

}  // namespace quenmoor::test

// Finding a section and a key in a profile, the way reads and writes both need it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/profile_line.h"
#include "platform/posix/profile_text.h"

namespace quenmoor::platform::posix {

struct SectionPlace {
    ProfileLine header;
    // First unit after the section: the next section header, or the end of the text.
    std::size_t end = 0;
    // The section's last key line, or its header when it has no key line: a new key goes after it.
    ProfileLine lastEntry;
    // The first line of the wanted key, when one was asked for and is there.
    std::optional<ProfileLine> key;
};

struct LookupResult {
    // The first section of the wanted name; later sections of the same name are never consulted.
    std::optional<SectionPlace> section;
    // The last line end seen before the scan stopped: the whole text when the section is
    // missing or is the last one.
    UnitSpan lastEnding;
};

// Names are compared without regard to letter case after trimming blanks on both sides, so a
// name a caller writes is the name a later read finds. Lines before the first section header
// belong to no section.
LookupResult FindSection(const ProfileText& text, std::u16string_view section,
                         std::optional<std::u16string_view> key);

// The value of `key` in `section`, quotes removed; nothing when either is missing.
std::optional<std::u16string> FindValue(const ProfileText& text, std::u16string_view section,
                                        std::u16string_view key);

// `name` without the blanks around it.
std::u16string_view TrimBlanks(std::u16string_view name);

}  // namespace quenmoor::platform::posix

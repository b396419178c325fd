// What a lookup of a section (and a key in it) finds, as the edits need it.
#pragma once

#include <optional>
#include <string_view>

#include "platform/posix/profile_line.h"

namespace quenmoor::platform::posix {

struct SectionPlace {
    ProfileLine header;
    // First unit after the section: the next section header, or the end of the text.
    std::size_t end = 0;
    // The section's last key line, or its header when it has no key line: a new key goes after it.
    ProfileLine lastEntry;
    // The first line of the wanted key, when one was asked for and is there.
    std::optional<ProfileLine> key;

    bool operator==(const SectionPlace&) const = default;
};

// Names are compared without regard to letter case after trimming blanks on both sides, so a
// name a caller writes is the name a later read finds. Lines before the first section header
// belong to no section.
struct LookupResult {
    // The first section of the wanted name; later sections of the same name are never consulted.
    std::optional<SectionPlace> section;
    // The line end of the last line up to the end of the section's next header line: of the
    // whole text when the section is missing or is the last one. Empty when there is none.
    UnitSpan lastEnding;

    bool operator==(const LookupResult&) const = default;
};

// `name` without the blanks around it.
std::u16string_view TrimBlanks(std::u16string_view name);

}  // namespace quenmoor::platform::posix

// Looking up a section (and a key in it): what a lookup finds among the lines, and the index of
// section headers that lets it look only at its own section instead of reading the file from the
// top.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ini/line.h"
#include "ini/text.h"

namespace quenmoor::ini {

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

// `name` without the blanks around it, as names are compared.
std::u16string_view TrimBlanks(std::u16string_view name);

struct SectionHeader {
    std::size_t begin = 0;               // where the header line starts
    std::size_t bodyBegin = 0;           // the first unit after the header line
    std::size_t end = 0;                 // the next header line, or the end of the text
    std::optional<std::u16string> name;  // nothing when it cannot be decoded: matches no name
};

// Built once per file contents. Lines are still read by ReadLine: the index only skips, by a
// quick look at their first non-blank unit, the lines that cannot be a section header or the
// wanted key. Its answers are those of reading every line from the top; profile_index_test
// checks that on many generated profiles, so a change to the line rules that this skipping would
// miss shows up there.
class ProfileIndex {
  public:
    explicit ProfileIndex(const ProfileText& text);

    // `text` must be the text the index was built from, in both.

    // The value of `key` in `section`, quotes removed; nothing when either is missing.
    [[nodiscard]] std::optional<std::u16string> FindValue(const ProfileText& text,
                                                          std::u16string_view section,
                                                          std::u16string_view key) const;

    // The first section of that name and the lines an edit of it needs.
    [[nodiscard]] LookupResult FindSection(const ProfileText& text, std::u16string_view section,
                                           std::optional<std::u16string_view> key) const;

  private:
    [[nodiscard]] const SectionHeader* FirstNamed(std::u16string_view section) const;

    std::vector<SectionHeader> headers_;
    // Each decodable name, case folded, to the first of its headers.
    std::unordered_map<std::u32string, std::size_t> firstByName_;
};

}  // namespace quenmoor::ini

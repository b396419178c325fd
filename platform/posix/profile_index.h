// Where the section headers of a profile are, so that a read looks only at its own section
// instead of scanning the file from the top.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/profile_text.h"

namespace quenmoor::platform::posix {

struct SectionHeader {
    std::size_t bodyBegin = 0;           // the first unit after the header line
    std::size_t end = 0;                 // the next header line, or the end of the text
    std::optional<std::u16string> name;  // nothing when it cannot be decoded: matches no name
};

// Built once per file contents; answers exactly what FindValue answers for the same text. Lines
// are still read by ReadLine: the index only skips, by a quick look at their first non-blank
// unit, the lines that cannot be a section header or the wanted key. profile_index_test checks
// the answers against FindValue on many generated profiles, so a change to the line rules that
// this skipping would miss shows up there.
class ProfileIndex {
  public:
    explicit ProfileIndex(const ProfileText& text);

    // Same answer as FindValue(text, section, key); `text` must be the text the index was built
    // from.
    [[nodiscard]] std::optional<std::u16string> FindValue(const ProfileText& text,
                                                          std::u16string_view section,
                                                          std::u16string_view key) const;

  private:
    std::vector<SectionHeader> headers_;
};

}  // namespace quenmoor::platform::posix

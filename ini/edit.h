// Planning a change to a profile's bytes. Only the bytes the change needs are touched; every
// other byte of the file stays exactly as it was.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace quenmoor::ini {

enum class EditOutcome {
    Changed,    // `bytes` holds the new file
    Unchanged,  // nothing to do: the file stays as it is and the call succeeds
    Refused,    // the change cannot be made safely: the file stays as it is and the call fails
};

// A change is one splice: the new file is the old one with bytes [from, to) replaced by `insert`.
// It is kept in that form so that a large file is written out from its old bytes and the few new
// ones, never copied whole in memory first.
struct ProfileEdit {
    EditOutcome outcome = EditOutcome::Refused;
    std::size_t from = 0;
    std::size_t to = 0;
    std::string insert;

    // The new file as three consecutive pieces of `before` and `insert`.
    [[nodiscard]] std::array<std::string_view, 3> Pieces(std::string_view before) const {
        return {before.substr(0, from), insert, before.substr(to)};
    }
    // The new file in one piece.
    [[nodiscard]] std::string Apply(std::string_view before) const;
    // Whether the new file is byte for byte the old one.
    [[nodiscard]] bool KeepsEveryByte(std::string_view before) const {
        return before.substr(from, to - from) == insert;
    }
};

// Gives `key` in `section` the text `value`: replaces the value of the first matching key of the
// first matching section, or adds a key line after the section's last key line, or appends the
// section. Refused when the names or the value could not be read back as written (a section with
// "]" or a line break; a key with "=" or a line break, or starting with "[" or ";"; a value with a
// line break), when the file's encoding cannot carry the text, when the result would be read in
// another encoding than the file is now, and for files whose structure cannot be edited safely.
ProfileEdit SetValue(std::string_view bytes, std::u16string_view section, std::u16string_view key,
                     std::u16string_view value);

// Removes the line of the first matching key of the first matching section.
ProfileEdit RemoveKey(std::string_view bytes, std::u16string_view section, std::u16string_view key);

// Removes the first matching section: its header and every line up to the next header.
ProfileEdit RemoveSection(std::string_view bytes, std::u16string_view section);

}  // namespace quenmoor::ini

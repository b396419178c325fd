// Checks that a change to a profile's bytes left every byte outside the edited lines as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::differential {

enum class EditShape {
    ValueSet,        // one line's text changed in place, or new lines put in between old bytes
    KeyRemoved,      // exactly one whole line taken out
    SectionRemoved,  // a run of whole lines taken out
};

// Compares code units after the byte-order mark (UTF-16 when the bytes start with FF FE or
// FE FF, single bytes otherwise). Unchanged bytes always pass. Otherwise `before` and `after`
// must share all bytes but one stretch, and that stretch must have the shape given: for a value
// set, no line end on either side of a changed stretch, or every old byte still there, in
// order; for a removal, whole lines of `before`, by its line ends (LF, CR LF, lone CR). Returns
// what is wrong, or nothing.
std::optional<std::string> CheckLossless(std::string_view before, std::string_view after,
                                         EditShape shape);

}  // namespace quenmoor::differential

#include "differential/lossless_check.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quenmoor::differential {
namespace {

struct Units {
    std::string_view mark;
    std::vector<char16_t> units;
    std::string_view oddByte;  // a UTF-16 file's dangling last byte
};

Units Split(std::string_view bytes) {
    Units split;
    const bool little = bytes.starts_with("\xFF\xFE");
    const bool big = bytes.starts_with("\xFE\xFF");
    if (little || big) {
        split.mark = bytes.substr(0, 2);
        std::string_view body = bytes.substr(2);
        if (body.size() % 2 != 0) {
            split.oddByte = body.substr(body.size() - 1);
            body.remove_suffix(1);
        }
        for (std::size_t at = 0; at < body.size(); at += 2) {
            const auto first = static_cast<unsigned char>(body[at]);
            const auto second = static_cast<unsigned char>(body[at + 1]);
            split.units.push_back(little ? static_cast<char16_t>(first | (second << 8U))
                                         : static_cast<char16_t>((first << 8U) | second));
        }
        return split;
    }
    split.mark = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(0, 3) : std::string_view();
    for (const char byte : bytes.substr(split.mark.size())) {
        split.units.push_back(static_cast<unsigned char>(byte));
    }
    return split;
}

bool IsLineEnd(char16_t unit) { return unit == u'\r' || unit == u'\n'; }

bool HasLineEnd(const std::vector<char16_t>& units, std::size_t begin, std::size_t end) {
    return std::any_of(units.begin() + static_cast<std::ptrdiff_t>(begin),
                       units.begin() + static_cast<std::ptrdiff_t>(end), IsLineEnd);
}

// Offsets where lines start, plus the end: a line ends after LF, after CR LF, or after a CR
// that no LF follows.
std::vector<std::size_t> LineStarts(const std::vector<char16_t>& units) {
    std::vector<std::size_t> starts = {0};
    for (std::size_t at = 0; at < units.size(); ++at) {
        const bool crBeforeLf =
            units[at] == u'\r' && at + 1 < units.size() && units[at + 1] == u'\n';
        if (IsLineEnd(units[at]) && !crBeforeLf && at + 1 < units.size()) {
            starts.push_back(at + 1);
        }
    }
    starts.push_back(units.size());
    return starts;
}

std::size_t CommonPrefix(const std::vector<char16_t>& a, const std::vector<char16_t>& b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                    a.begin());
}

std::size_t CommonSuffix(const std::vector<char16_t>& a, const std::vector<char16_t>& b) {
    return static_cast<std::size_t>(
        std::mismatch(a.rbegin(), a.rend(), b.rbegin(), b.rend()).first - a.rbegin());
}

// Whether `after` is `before` with one stretch of whole lines taken out (exactly one line when
// `oneLine`). Where the same bytes repeat, the stretch could lie at several places; any of them
// that is made of whole lines will do.
bool WholeLinesRemoved(const std::vector<char16_t>& before, const std::vector<char16_t>& after,
                       bool oneLine) {
    if (after.size() >= before.size()) {
        return false;
    }
    const std::size_t removed = before.size() - after.size();
    const std::size_t prefix = CommonPrefix(before, after);
    const std::size_t suffix = CommonSuffix(before, after);
    if (prefix + suffix < after.size()) {
        return false;  // more than one stretch differs
    }
    const std::vector<std::size_t> starts = LineStarts(before);
    const std::size_t lowest = after.size() > suffix ? after.size() - suffix : 0;
    for (std::size_t first = 0; first + 1 < starts.size(); ++first) {
        const std::size_t begin = starts[first];
        if (begin < lowest || begin > prefix) {
            continue;
        }
        const std::size_t lines = oneLine ? 1 : starts.size() - 1 - first;
        for (std::size_t count = 1; count <= lines && first + count < starts.size(); ++count) {
            if (starts[first + count] - begin == removed) {
                return true;
            }
        }
    }
    return false;
}

bool ValueSet(const std::vector<char16_t>& before, const std::vector<char16_t>& after) {
    const std::size_t prefix = CommonPrefix(before, after);
    const std::size_t suffix =
        std::min(CommonSuffix(before, after), std::min(before.size(), after.size()) - prefix);
    if (prefix + suffix == before.size()) {
        return true;  // every old unit is still there, in order, around one inserted stretch
    }
    return !HasLineEnd(before, prefix, before.size() - suffix) &&
           !HasLineEnd(after, prefix, after.size() - suffix);
}

}  // namespace

std::optional<std::string> CheckLossless(std::string_view before, std::string_view after,
                                         EditShape shape) {
    if (before == after) {
        return std::nullopt;
    }
    const Units old = Split(before);
    const Units now = Split(after);
    if (old.mark != now.mark || old.oddByte != now.oddByte) {
        return "the byte-order mark or a dangling last byte changed";
    }
    switch (shape) {
        case EditShape::ValueSet:
            if (!ValueSet(old.units, now.units)) {
                return "setting a value changed bytes outside the edited line";
            }
            break;
        case EditShape::KeyRemoved:
            if (!WholeLinesRemoved(old.units, now.units, true)) {
                return "removing a key did not remove exactly one whole line";
            }
            break;
        case EditShape::SectionRemoved:
            if (!WholeLinesRemoved(old.units, now.units, false)) {
                return "removing a section did not remove one run of whole lines";
            }
            break;
    }
    return std::nullopt;
}

}  // namespace quenmoor::differential

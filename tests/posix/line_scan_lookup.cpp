#include "posix/line_scan_lookup.h"

#include "ini/case_fold.h"

namespace quenmoor::test {
namespace {

using ini::LineKind;
using ini::ProfileLine;
using ini::ProfileText;
using ini::UnitSpan;

bool NameMatches(const ProfileText& text, UnitSpan name, std::u16string_view wanted) {
    const auto decoded = text.Decode(name);
    return decoded && ini::FoldsAlike(*decoded, wanted);
}

}  // namespace

ini::LookupResult ScanForSection(const ProfileText& text, std::u16string_view section,
                                 std::optional<std::u16string_view> key) {
    section = ini::TrimBlanks(section);
    if (key) {
        key = ini::TrimBlanks(*key);
    }
    ini::LookupResult result;
    for (std::size_t at = 0; at < text.Size();) {
        const ProfileLine line = ini::ReadLine(text, at);
        at = line.whole.end;
        if (!line.ending.Empty()) {
            result.lastEnding = line.ending;
        }
        if (line.kind == LineKind::Section) {
            if (result.section) {
                result.section->end = line.whole.begin;
                return result;
            }
            if (NameMatches(text, line.name, section)) {
                result.section = ini::SectionPlace{line, text.Size(), line, std::nullopt};
            }
            continue;
        }
        if (result.section && line.kind == LineKind::Key) {
            result.section->lastEntry = line;
            if (key && !result.section->key && NameMatches(text, line.name, *key)) {
                result.section->key = line;
            }
        }
    }
    return result;
}

std::optional<std::u16string> ScanForValue(const ProfileText& text, std::u16string_view section,
                                           std::u16string_view key) {
    const auto found = ScanForSection(text, section, key);
    if (!found.section || !found.section->key) {
        return std::nullopt;
    }
    return text.Decode(ini::UnquotedValue(text, *found.section->key));
}

}  // namespace quenmoor::test

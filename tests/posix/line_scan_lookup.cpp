#include "posix/line_scan_lookup.h"

#include "platform/text_compare.h"

namespace quenmoor::test {
namespace {

using platform::posix::LineKind;
using platform::posix::ProfileLine;
using platform::posix::ProfileText;
using platform::posix::UnitSpan;

bool NameMatches(const ProfileText& text, UnitSpan name, std::u16string_view wanted) {
    const auto decoded = text.Decode(name);
    return decoded && platform::EqualIgnoringCase(*decoded, wanted);
}

}  // namespace

platform::posix::LookupResult ScanForSection(const ProfileText& text, std::u16string_view section,
                                             std::optional<std::u16string_view> key) {
    section = platform::posix::TrimBlanks(section);
    if (key) {
        key = platform::posix::TrimBlanks(*key);
    }
    platform::posix::LookupResult result;
    for (std::size_t at = 0; at < text.Size();) {
        const ProfileLine line = platform::posix::ReadLine(text, at);
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
                result.section =
                    platform::posix::SectionPlace{line, text.Size(), line, std::nullopt};
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
    return text.Decode(platform::posix::UnquotedValue(text, *found.section->key));
}

}  // namespace quenmoor::test

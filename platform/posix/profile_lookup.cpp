#include "platform/posix/profile_lookup.h"

#include "platform/text_compare.h"

namespace quenmoor::platform::posix {
namespace {

bool NameMatches(const ProfileText& text, UnitSpan name, std::u16string_view wanted) {
    const auto decoded = text.Decode(name);
    return decoded && EqualIgnoringCase(*decoded, wanted);
}

}  // namespace

std::u16string_view TrimBlanks(std::u16string_view name) {
    while (!name.empty() && IsBlank(name.front())) {
        name.remove_prefix(1);
    }
    while (!name.empty() && IsBlank(name.back())) {
        name.remove_suffix(1);
    }
    return name;
}

LookupResult FindSection(const ProfileText& text, std::u16string_view section,
                         std::optional<std::u16string_view> key) {
    section = TrimBlanks(section);
    if (key) {
        key = TrimBlanks(*key);
    }
    LookupResult result;
    for (std::size_t at = 0; at < text.Size();) {
        const ProfileLine line = ReadLine(text, at);
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
                result.section = SectionPlace{line, text.Size(), line, std::nullopt};
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

std::optional<std::u16string> FindValue(const ProfileText& text, std::u16string_view section,
                                        std::u16string_view key) {
    const LookupResult found = FindSection(text, section, key);
    if (!found.section || !found.section->key) {
        return std::nullopt;
    }
    return text.Decode(UnquotedValue(text, *found.section->key));
}

}  // namespace quenmoor::platform::posix

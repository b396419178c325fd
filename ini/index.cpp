#include "ini/index.h"

#include "ini/case_fold.h"
#include "ini/line.h"

namespace quenmoor::ini {
namespace {

bool IsLineEnd(char16_t unit) { return unit == u'\r' || unit == u'\n'; }

std::size_t SkipBlanks(const ProfileText& text, std::size_t at, std::size_t end) {
    while (at < end && IsBlank(text.At(at))) {
        ++at;
    }
    return at;
}

bool NameMatches(const ProfileText& text, UnitSpan name, std::u16string_view wanted) {
    const auto decoded = text.Decode(name);
    return decoded && FoldsAlike(*decoded, wanted);
}

// Whether a name starting with `first` could match `wanted`. Between two ASCII characters case
// folding is plain ASCII case; anything beyond ASCII (and an empty wanted name) is left to the
// full comparison.
bool MayStartName(char16_t first, std::u16string_view wanted) {
    if (wanted.empty() || wanted.front() >= 0x80 || first >= 0x80) {
        return true;
    }
    return FoldedCodePoint(first) == FoldedCodePoint(wanted.front());
}

bool IsKeyNamed(const ProfileText& text, const ProfileLine& line, std::u16string_view key) {
    return line.kind == LineKind::Key &&
           (line.name.Empty() || MayStartName(text.At(line.name.begin), key)) &&
           NameMatches(text, line.name, key);
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

// A header line has "[" as its first non-blank unit, so each "[" preceded on its line by blanks
// only, at the start of the text or after a line end, starts a candidate line; ReadLine has the
// last word on it.
ProfileIndex::ProfileIndex(const ProfileText& text) {
    const std::size_t size = text.Size();
    for (std::size_t bracket = text.Find(u'[', 0, size); bracket < size;
         bracket = text.Find(u'[', bracket + 1, size)) {
        std::size_t lineStart = bracket;
        while (lineStart > 0 && IsBlank(text.At(lineStart - 1))) {
            --lineStart;
        }
        if (lineStart > 0 && !IsLineEnd(text.At(lineStart - 1))) {
            continue;
        }
        const ProfileLine line = ReadLine(text, lineStart);
        if (line.kind != LineKind::Section) {
            continue;
        }
        if (!headers_.empty()) {
            headers_.back().end = lineStart;
        }
        headers_.push_back({lineStart, line.whole.end, size, text.Decode(line.name)});
        if (headers_.back().name) {
            firstByName_.try_emplace(CaseFolded(*headers_.back().name), headers_.size() - 1);
        }
        bracket = line.whole.end - 1;
    }
}

const SectionHeader* ProfileIndex::FirstNamed(std::u16string_view section) const {
    const auto found = firstByName_.find(CaseFolded(TrimBlanks(section)));
    return found != firstByName_.end() ? &headers_[found->second] : nullptr;
}

// Lines whose first non-blank unit rules them out are stepped over without being read.
std::optional<std::u16string> ProfileIndex::FindValue(const ProfileText& text,
                                                      std::u16string_view section,
                                                      std::u16string_view key) const {
    const SectionHeader* header = FirstNamed(section);
    if (header == nullptr) {
        return std::nullopt;
    }
    key = TrimBlanks(key);
    for (std::size_t at = header->bodyBegin; at < header->end;) {
        const std::size_t first = SkipBlanks(text, at, header->end);
        if (first == header->end) {
            break;
        }
        if (IsLineEnd(text.At(first)) || !MayStartName(text.At(first), key)) {
            at = LineEnding(text, first).end;
            continue;
        }
        const ProfileLine line = ReadLine(text, at);
        if (IsKeyNamed(text, line, key)) {
            return text.Decode(UnquotedValue(text, line));
        }
        at = line.whole.end;
    }
    return std::nullopt;
}

LookupResult ProfileIndex::FindSection(const ProfileText& text, std::u16string_view section,
                                       std::optional<std::u16string_view> key) const {
    if (key) {
        key = TrimBlanks(*key);
    }
    LookupResult result;
    const SectionHeader* header = FirstNamed(section);
    if (header == nullptr) {
        result.lastEnding = LastLineEnding(text, text.Size());
        return result;
    }
    const ProfileLine headerLine = ReadLine(text, header->begin);
    SectionPlace place{headerLine, header->end, headerLine, std::nullopt};
    for (std::size_t at = header->bodyBegin; at < header->end;) {
        const ProfileLine line = ReadLine(text, at);
        at = line.whole.end;
        if (line.kind != LineKind::Key) {
            continue;
        }
        place.lastEntry = line;
        if (key && !place.key && IsKeyNamed(text, line, *key)) {
            place.key = line;
        }
    }
    // As far as a reading from the top gets: through the next header line, which ends the section.
    const std::size_t readTo =
        header->end < text.Size() ? LineEnding(text, header->end).end : text.Size();
    result.lastEnding = LastLineEnding(text, readTo);
    result.section = place;
    return result;
}

}  // namespace quenmoor::ini

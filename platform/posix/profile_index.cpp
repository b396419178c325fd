#include "platform/posix/profile_index.h"

#include <cstdint>
#include <cstring>

#include "platform/posix/profile_line.h"
#include "platform/posix/profile_lookup.h"
#include "platform/text_compare.h"

namespace quenmoor::platform::posix {
namespace {

// The code units of a byte-form text (UTF-8, Windows-1252; most profiles): a unit is the byte,
// read without the cost of ProfileText::At.
class ByteUnits {
  public:
    explicit ByteUnits(const ProfileText& text)
        : bytes_(text.Bytes().data() + text.Encoding().markSize), size_(text.Size()) {}

    [[nodiscard]] std::size_t Size() const { return size_; }
    [[nodiscard]] char16_t operator[](std::size_t index) const {
        return static_cast<std::uint8_t>(bytes_[index]);
    }
    [[nodiscard]] std::size_t Find(char16_t unit, std::size_t from) const {
        return Find(unit, from, size_);
    }
    [[nodiscard]] std::size_t Find(char16_t unit, std::size_t from, std::size_t to) const {
        const void* found = std::memchr(bytes_ + from, unit, to - from);
        return found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes_)
                                : to;
    }

  private:
    const char* bytes_;
    std::size_t size_;
};

// The code units of a UTF-16 text.
class WideUnits {
  public:
    explicit WideUnits(const ProfileText& text) : text_(text) {}

    [[nodiscard]] std::size_t Size() const { return text_.Size(); }
    [[nodiscard]] char16_t operator[](std::size_t index) const { return text_.At(index); }
    [[nodiscard]] std::size_t Find(char16_t unit, std::size_t from) const {
        while (from < Size() && text_.At(from) != unit) {
            ++from;
        }
        return from;
    }

  private:
    const ProfileText& text_;
};

bool IsLineEnd(char16_t unit) { return unit == u'\r' || unit == u'\n'; }

// Where the line after the one holding unit `at` starts, line ends taken as ReadLine takes them.
std::size_t NextLine(const ByteUnits& units, std::size_t at) {
    // memchr is much faster than a loop over short lines: the line ends at the first CR or LF,
    // whichever comes first.
    const std::size_t lineFeed = units.Find(u'\n', at);
    const std::size_t carriageReturn = units.Find(u'\r', at, lineFeed);
    if (carriageReturn == lineFeed) {
        return lineFeed == units.Size() ? lineFeed : lineFeed + 1;
    }
    const bool crLf = carriageReturn + 1 == lineFeed && lineFeed < units.Size();
    return carriageReturn + (crLf ? 2 : 1);
}

template <typename Units>
std::size_t NextLine(const Units& units, std::size_t at) {
    const std::size_t size = units.Size();
    while (at < size && !IsLineEnd(units[at])) {
        ++at;
    }
    if (at == size) {
        return at;
    }
    const bool crLf = units[at] == u'\r' && at + 1 < size && units[at + 1] == u'\n';
    return at + (crLf ? 2 : 1);
}

template <typename Units>
std::size_t SkipBlanks(const Units& units, std::size_t at, std::size_t end) {
    while (at < end && IsBlank(units[at])) {
        ++at;
    }
    return at;
}

bool NameMatches(const ProfileText& text, UnitSpan name, std::u16string_view wanted) {
    const auto decoded = text.Decode(name);
    return decoded && EqualIgnoringCase(*decoded, wanted);
}

char16_t AsciiLower(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

// False when two ASCII units at either end of the names already tell them apart, which spares
// most of the full comparisons when many sections differ only in their last characters.
bool MaySameName(std::u16string_view a, std::u16string_view b) {
    if (a.empty() || b.empty()) {
        return a.empty() == b.empty();
    }
    const auto differ = [](char16_t x, char16_t y) {
        return x < 0x80 && y < 0x80 && AsciiLower(x) != AsciiLower(y);
    };
    return !differ(a.front(), b.front()) && !differ(a.back(), b.back());
}

// Whether a line whose name starts with `first` could match a name starting with `wanted`.
// Between two ASCII characters case folding is plain ASCII case; anything beyond ASCII (and an
// empty wanted name) is left to the full comparison.
bool MayStartName(char16_t first, std::optional<char16_t> wanted) {
    if (!wanted || *wanted >= 0x80 || first >= 0x80) {
        return true;
    }
    return AsciiLower(first) == AsciiLower(*wanted);
}

// A header line has "[" as its first non-blank unit, so each "[" preceded on its line by blanks
// only, at the start of the text or after a line end, starts a candidate line; ReadLine has the
// last word on it.
template <typename Units>
void FindHeaders(const ProfileText& text, const Units& units, std::vector<SectionHeader>& headers) {
    for (std::size_t bracket = units.Find(u'[', 0); bracket < units.Size();
         bracket = units.Find(u'[', bracket + 1)) {
        std::size_t lineStart = bracket;
        while (lineStart > 0 && IsBlank(units[lineStart - 1])) {
            --lineStart;
        }
        if (lineStart > 0 && !IsLineEnd(units[lineStart - 1])) {
            continue;
        }
        const ProfileLine line = ReadLine(text, lineStart);
        if (line.kind != LineKind::Section) {
            continue;
        }
        if (!headers.empty()) {
            headers.back().end = lineStart;
        }
        headers.push_back({line.whole.end, units.Size(), text.Decode(line.name)});
        bracket = line.whole.end - 1;
    }
}

// The first key line of the section named `key`, skipping lines whose first non-blank unit
// rules them out.
template <typename Units>
std::optional<std::u16string> FindKey(const ProfileText& text, const Units& units,
                                      const SectionHeader& section, std::u16string_view key) {
    const std::optional<char16_t> wantedFirst =
        key.empty() ? std::nullopt : std::optional<char16_t>(key.front());
    for (std::size_t at = section.bodyBegin; at < section.end;) {
        const std::size_t first = SkipBlanks(units, at, section.end);
        if (first == section.end) {
            break;
        }
        if (IsLineEnd(units[first]) || !MayStartName(units[first], wantedFirst)) {
            at = NextLine(units, first);
            continue;
        }
        const ProfileLine line = ReadLine(text, at);
        if (line.kind == LineKind::Key && NameMatches(text, line.name, key)) {
            return text.Decode(UnquotedValue(text, line));
        }
        at = line.whole.end;
    }
    return std::nullopt;
}

bool IsByteForm(const ProfileText& text) { return UnitSize(text.Encoding().form) == 1; }

}  // namespace

ProfileIndex::ProfileIndex(const ProfileText& text) {
    if (IsByteForm(text)) {
        FindHeaders(text, ByteUnits(text), headers_);
    } else {
        FindHeaders(text, WideUnits(text), headers_);
    }
}

std::optional<std::u16string> ProfileIndex::FindValue(const ProfileText& text,
                                                      std::u16string_view section,
                                                      std::u16string_view key) const {
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    for (const SectionHeader& header : headers_) {
        if (header.name && MaySameName(*header.name, section) &&
            EqualIgnoringCase(*header.name, section)) {
            return IsByteForm(text) ? FindKey(text, ByteUnits(text), header, key)
                                    : FindKey(text, WideUnits(text), header, key);
        }
    }
    return std::nullopt;
}

}  // namespace quenmoor::platform::posix

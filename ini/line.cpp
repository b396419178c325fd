#include "ini/line.h"

namespace quenmoor::ini {

namespace {

UnitSpan TrimBlanks(const ProfileText& text, UnitSpan span) {
    while (span.begin < span.end && IsBlank(text.At(span.begin))) {
        ++span.begin;
    }
    while (span.end > span.begin && IsBlank(text.At(span.end - 1))) {
        --span.end;
    }
    return span;
}

void Classify(const ProfileText& text, UnitSpan content, ProfileLine& line) {
    const UnitSpan trimmed = TrimBlanks(text, content);
    if (trimmed.Empty()) {
        line.kind = LineKind::Blank;
        return;
    }
    const char16_t first = text.At(trimmed.begin);
    if (first == u';') {
        line.kind = LineKind::Comment;
        return;
    }
    if (first == u'[') {
        line.kind = LineKind::Section;
        const UnitSpan afterBracket{trimmed.begin + 1, content.end};
        line.name = TrimBlanks(
            text, {afterBracket.begin, text.Find(u']', afterBracket.begin, afterBracket.end)});
        return;
    }
    const std::size_t equals = text.Find(u'=', trimmed.begin, trimmed.end);
    if (equals == trimmed.end) {
        line.kind = LineKind::Other;
        return;
    }
    line.kind = LineKind::Key;
    line.name = TrimBlanks(text, {trimmed.begin, equals});
    line.value = TrimBlanks(text, {equals + 1, trimmed.end});
    if (line.value.Empty()) {
        // An empty value sits right after the blanks that follow "=", where a new one goes.
        line.value = {content.end, content.end};
    }
}

}  // namespace

ProfileLine ReadLine(const ProfileText& text, std::size_t begin) {
    ProfileLine line;
    line.ending = LineEnding(text, begin);
    line.whole = {begin, line.ending.end};
    Classify(text, {begin, line.ending.begin}, line);
    return line;
}

UnitSpan LineEnding(const ProfileText& text, std::size_t at) {
    const std::size_t size = text.Size();
    const std::size_t begin = text.FindLineEnd(at, size);
    if (begin == size) {
        return {size, size};
    }
    const bool crLf = text.At(begin) == u'\r' && begin + 1 < size && text.At(begin + 1) == u'\n';
    return {begin, begin + (crLf ? 2 : 1)};
}

UnitSpan LastLineEnding(const ProfileText& text, std::size_t before) {
    for (std::size_t at = before; at > 0; --at) {
        const char16_t unit = text.At(at - 1);
        if (unit == u'\n') {
            const bool crLf = at >= 2 && text.At(at - 2) == u'\r';
            return {crLf ? at - 2 : at - 1, at};
        }
        if (unit == u'\r') {
            return {at - 1, at};
        }
    }
    return {};
}

UnitSpan UnquotedValue(const ProfileText& text, const ProfileLine& line) {
    UnitSpan value = line.value;
    if (value.Size() >= 2) {
        const char16_t first = text.At(value.begin);
        if ((first == u'"' || first == u'\'') && text.At(value.end - 1) == first) {
            ++value.begin;
            --value.end;
        }
    }
    return value;
}

}  // namespace quenmoor::ini

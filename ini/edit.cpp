#include "ini/edit.h"

#include "ini/encoding.h"
#include "ini/index.h"
#include "ini/line.h"
#include "ini/text.h"
#include "text/utf.h"

namespace quenmoor::ini {
namespace {

constexpr std::u16string_view DefaultLineEnd = u"\r\n";

bool Holds(std::u16string_view text, std::u16string_view characters) {
    return text.find_first_of(characters) != std::u16string_view::npos;
}

bool IsValidSection(std::u16string_view section) { return !Holds(section, u"]\r\n"); }

bool IsValidKey(std::u16string_view key) {
    const std::u16string_view trimmed = TrimBlanks(key);
    return !Holds(key, u"=\r\n") && !trimmed.starts_with(u'[') && !trimmed.starts_with(u';');
}

bool IsValidValue(std::u16string_view value) { return !Holds(value, u"\r\n"); }

// A NUL byte in a byte-form file means it is not text we understand (UTF-16 without a mark, say),
// and a UTF-16 file with an odd byte count has lost a byte; adding our bytes would make matters
// worse, so such files are read but never changed.
bool IsEditable(const ProfileText& text) {
    if (UnitSize(text.Encoding().form) == 1) {
        return text.Bytes().find('\0') == std::string_view::npos;
    }
    return text.ByteOffset(text.Size()) == text.Bytes().size();
}

bool EndsWithLineEnd(const ProfileText& text) {
    if (text.Size() == 0) {
        return false;
    }
    const char16_t last = text.At(text.Size() - 1);
    return last == u'\r' || last == u'\n';
}

std::u16string LineEndLike(const ProfileText& text, UnitSpan ending) {
    if (ending.Empty()) {
        return std::u16string(DefaultLineEnd);
    }
    return text.Decode(ending).value_or(std::u16string(DefaultLineEnd));
}

ProfileEdit Refused() { return {EditOutcome::Refused, 0, 0, {}}; }
ProfileEdit Unchanged() { return {EditOutcome::Unchanged, 0, 0, {}}; }

// Whether every character of `bytes` reads as it did before the edit. Detection can change while
// the text does not: a Windows-1252 file whose last non-ASCII byte goes is ASCII, which reads the
// same as UTF-8.
bool ReadsAsBefore(std::string_view bytes, ProfileEncoding before) {
    const ProfileEncoding now = DetectEncoding(bytes);
    if (now == before) {
        return true;
    }
    if (now.markSize != before.markSize) {
        return false;
    }
    const std::string_view body = bytes.substr(now.markSize);
    const auto asNow = DecodeText(body, now.form);
    return asNow && asNow == DecodeText(body, before.form);
}

bool StartsCharacter(std::string_view bytes, std::size_t at) {
    constexpr unsigned ContinuationMask = 0xC0U;
    constexpr unsigned Continuation = 0x80U;
    return at == bytes.size() ||
           (static_cast<unsigned char>(bytes[at]) & ContinuationMask) != Continuation;
}

// Whether cutting bytes [from, to) out of the file and putting `insert` there provably leaves it
// in its encoding, told without looking at the rest of the file. A UTF-16 file is told by its
// mark, which no cut reaches. A UTF-8 file cut at character starts keeps whole characters on
// both sides, so the result is well-formed exactly when `insert` is; and a cut after the first
// byte cannot make it start with a byte-order mark it did not have.
bool KeepsEncoding(const ProfileText& text, std::size_t from, std::size_t to,
                   std::string_view insert) {
    const std::string_view bytes = text.Bytes();
    switch (text.Encoding().form) {
        case TextForm::Utf16Le:
        case TextForm::Utf16Be:
            return from >= text.Encoding().markSize;
        case TextForm::Utf8:
            return from > 0 && StartsCharacter(bytes, from) && StartsCharacter(bytes, to) &&
                   text::IsWellFormedUtf8(insert);
        case TextForm::Windows1252:
            break;
    }
    return false;
}

// Puts `insert` (already encoded) in place of the units in `replaced` and accepts the result only
// when no other text in the file would read differently.
ProfileEdit Splice(const ProfileText& text, UnitSpan replaced, std::string_view insert) {
    ProfileEdit edit{EditOutcome::Changed, text.ByteOffset(replaced.begin),
                     text.ByteOffset(replaced.end), std::string(insert)};
    if (!KeepsEncoding(text, edit.from, edit.to, insert) &&
        !ReadsAsBefore(edit.Apply(text.Bytes()), text.Encoding())) {
        return Refused();
    }
    return edit;
}

ProfileEdit SpliceText(const ProfileText& text, UnitSpan replaced, std::u16string_view insert) {
    const auto encoded = EncodeText(insert, text.Encoding().form);
    if (!encoded) {
        return Refused();
    }
    return Splice(text, replaced, *encoded);
}

}  // namespace

std::string ProfileEdit::Apply(std::string_view before) const {
    std::string bytes;
    bytes.reserve(before.size() - (to - from) + insert.size());
    for (const std::string_view piece : Pieces(before)) {
        bytes.append(piece);
    }
    return bytes;
}

ProfileEdit SetValue(std::string_view bytes, std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) {
    const ProfileText text(bytes);
    if (!IsValidSection(section) || !IsValidKey(key) || !IsValidValue(value) || !IsEditable(text)) {
        return Refused();
    }
    const LookupResult found = ProfileIndex(text).FindSection(text, section, key);
    if (found.section && found.section->key) {
        return SpliceText(text, found.section->key->value, value);
    }

    std::u16string keyLine(key);
    keyLine.append(u"=").append(value);
    if (found.section) {
        // New lines take the line end of the line they follow. A last line without one gets
        // one first, in the style of the file's other lines.
        const ProfileLine& after = found.section->lastEntry;
        const UnitSpan at{after.whole.end, after.whole.end};
        if (!after.ending.Empty()) {
            return SpliceText(text, at, keyLine + LineEndLike(text, after.ending));
        }
        const std::u16string lineEnd = LineEndLike(text, found.lastEnding);
        return SpliceText(text, at, lineEnd + keyLine + lineEnd);
    }

    const std::u16string lineEnd = LineEndLike(text, found.lastEnding);
    std::u16string appended;
    if (text.Size() > 0 && !EndsWithLineEnd(text)) {
        appended = lineEnd;
    }
    appended.append(u"[").append(section).append(u"]").append(lineEnd);
    appended.append(keyLine).append(lineEnd);
    return SpliceText(text, {text.Size(), text.Size()}, appended);
}

ProfileEdit RemoveKey(std::string_view bytes, std::u16string_view section,
                      std::u16string_view key) {
    const ProfileText text(bytes);
    const LookupResult found = ProfileIndex(text).FindSection(text, section, key);
    if (!found.section || !found.section->key) {
        return Unchanged();
    }
    if (!IsEditable(text)) {
        return Refused();
    }
    return Splice(text, found.section->key->whole, {});
}

ProfileEdit RemoveSection(std::string_view bytes, std::u16string_view section) {
    const ProfileText text(bytes);
    const LookupResult found = ProfileIndex(text).FindSection(text, section, std::nullopt);
    if (!found.section) {
        return Unchanged();
    }
    if (!IsEditable(text)) {
        return Refused();
    }
    return Splice(text, {found.section->header.whole.begin, found.section->end}, {});
}

}  // namespace quenmoor::ini

// How a profile's bytes carry its text: which form, and whether a byte-order mark leads. The
// UTF-8 conversions themselves are text/utf.h's.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::ini {

enum class TextForm { Utf8, Windows1252, Utf16Le, Utf16Be };

struct ProfileEncoding {
    TextForm form = TextForm::Utf8;
    // Length in bytes of the byte-order mark the file starts with; kept as it is on every write.
    std::size_t markSize = 0;

    bool operator==(const ProfileEncoding&) const = default;
};

// A UTF-16 mark (FF FE or FE FF) decides the form. Otherwise the bytes are UTF-8 when they are
// well-formed UTF-8 (after an optional EF BB BF mark) and Windows-1252 when they are not; the
// EF BB BF mark is kept in front of Windows-1252 text too, so the first line still reads.
ProfileEncoding DetectEncoding(std::string_view bytes);

// Bytes per code unit of `form`: 1 for the byte forms, 2 for UTF-16.
std::size_t UnitSize(TextForm form);

// Decodes bytes of `form` (no byte-order mark) into UTF-16. Nothing when UTF-8 bytes are not
// well-formed. UTF-16 bytes are taken two at a time; an odd last byte is ignored.
std::optional<std::u16string> DecodeText(std::string_view bytes, TextForm form);

// Encodes text into `form`. Nothing when a character has no encoding there: anything outside
// Windows-1252 for that form, an unpaired surrogate for UTF-8. UTF-16 takes every code unit.
std::optional<std::string> EncodeText(std::u16string_view text, TextForm form);

}  // namespace quenmoor::ini

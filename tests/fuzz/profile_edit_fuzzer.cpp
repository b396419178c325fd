// libFuzzer target over the profile engine's parsing and editing of arbitrary bytes: one
// lookup and one edit per input, with the checks that must hold for any file whatever.
//
// An input is: the operation (one byte), the section, key and value names (each a length-limited
// string, some bytes standing for characters beyond ASCII), then the profile's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "differential/lossless_check.h"
#include "ini/edit.h"
#include "ini/index.h"
#include "ini/text.h"
#include "posix/line_scan_lookup.h"

namespace {

namespace ini = quenmoor::ini;
using quenmoor::differential::CheckLossless;
using quenmoor::differential::EditShape;

// Bytes 0xF0 to 0xFF of a name stand for these units: letters whose case folding is not ASCII's,
// characters outside Windows-1252, and both halves of a surrogate pair on their own.
constexpr std::array<char16_t, 16> Wide = {
    u'\u00E9', u'\u00C9', u'\u00DF', u'\u0130', u'\u0131', u'\u03A3', u'\u03C2', u'\u20AC',
    u'\u4E2D', u'\uFEFF', u'\uFFFD', u'\u2028', u'\u00A0', u'\u3000', 0xD83D,    0xDE00,
};

// A name as the profile functions receive it: NUL-terminated, so never with a NUL inside.
std::u16string Name(FuzzedDataProvider& input) {
    std::u16string name;
    for (const char byte : input.ConsumeRandomLengthString(24)) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0xF0) {
            name.push_back(Wide[value - 0xF0U]);
        } else if (value != 0) {
            name.push_back(value);
        }
    }
    return name;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "profile fuzzer: %s\n", what);
    std::abort();
}

void Require(bool condition, const char* what) {
    if (!condition) {
        Fail(what);
    }
}

bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

bool HasOuterBlanks(std::u16string_view value) {
    return !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
}

// Whether a read gives back exactly `value`: reads trim blanks and drop one pair of quotes.
bool ReadsBackAsIs(std::u16string_view value) {
    const bool quoted = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                        value.back() == value.front();
    return !HasOuterBlanks(value) && !quoted;
}

void CheckSetValue(const std::string& bytes, const std::u16string& section,
                   const std::u16string& key, const std::u16string& value) {
    const ini::ProfileEdit edit = ini::SetValue(bytes, section, key, value);
    Require(edit.outcome != ini::EditOutcome::Unchanged, "setting a value did nothing");
    if (edit.outcome != ini::EditOutcome::Changed) {
        return;
    }
    const std::string after = edit.Apply(bytes);
    if (const auto wrong = CheckLossless(bytes, after, EditShape::ValueSet)) {
        Fail(wrong->c_str());
    }
    const ini::ProfileText written(after);
    if (ReadsBackAsIs(value)) {
        Require(quenmoor::test::ScanForValue(written, section, key) == value,
                "a value set does not read back as written");
    }
    // Once there, setting the same value again finds it and changes no byte. (Blanks around a
    // value are not part of the value a read finds, so such a value would gain them again.)
    if (HasOuterBlanks(value)) {
        return;
    }
    const ini::ProfileEdit again = ini::SetValue(after, section, key, value);
    Require(again.outcome == ini::EditOutcome::Changed && again.KeepsEveryByte(after),
            "setting the same value twice changed the file again");
}

void CheckRemoval(const std::string& bytes, const ini::ProfileEdit& edit, EditShape shape) {
    if (edit.outcome != ini::EditOutcome::Changed) {
        return;
    }
    if (const auto wrong = CheckLossless(bytes, edit.Apply(bytes), shape)) {
        Fail(wrong->c_str());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto operation = input.ConsumeIntegralInRange<unsigned>(0, 2);
    const std::u16string section = Name(input);
    const std::u16string key = Name(input);
    const std::u16string value = Name(input);
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    // Lookups reading every line and lookups through the section index must agree on every file.
    const ini::ProfileText text(bytes);
    const ini::ProfileIndex index(text);
    const std::optional<std::u16string> found = quenmoor::test::ScanForValue(text, section, key);
    Require(index.FindValue(text, section, key) == found,
            "the section index and the plain reading find different values");
    Require(
        index.FindSection(text, section, key) == quenmoor::test::ScanForSection(text, section, key),
        "the section index and the plain reading find different places");

    switch (operation) {
        case 0:
            CheckSetValue(bytes, section, key, value);
            break;
        case 1: {
            const ini::ProfileEdit edit = ini::RemoveKey(bytes, section, key);
            Require(found || edit.outcome == ini::EditOutcome::Unchanged,
                    "removing a key that reads as missing changed the file");
            CheckRemoval(bytes, edit, EditShape::KeyRemoved);
            break;
        }
        default:
            CheckRemoval(bytes, ini::RemoveSection(bytes, section), EditShape::SectionRemoved);
            break;
    }
    return 0;
}

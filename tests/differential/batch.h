// A batch of operation sequences, and the line format both drivers read it from.
//
// Every text field is one token: "-" for a null pointer, otherwise "x" followed by hex digits
// (two per byte for file contents, four per UTF-16 code unit for names and values), so any byte
// and any code unit passes through unchanged and the file stays plain ASCII on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenmoor::differential {

enum class OperationKind { Read, Write };

struct Operation {
    OperationKind kind = OperationKind::Read;
    std::u16string section;
    // Write: null removes the section.
    std::optional<std::u16string> key;
    // Read: the default value. Write: the value; null removes the key.
    std::optional<std::u16string> value;
    // Read: the size of the buffer in code units.
    std::size_t bufferSize = 0;
};

struct Name {
    std::u16string section;
    std::u16string key;
};

struct Sequence {
    std::uint64_t id = 0;
    // The profile's bytes before the first operation; nothing when there is no file at all.
    std::optional<std::string> startBytes;
    // Every value read back after each write and at the end, to compare whole profiles.
    std::vector<Name> names;
    std::vector<Operation> operations;
};

void WriteBatch(std::ostream& out, const std::vector<Sequence>& batch);
// Throws std::runtime_error on a malformed batch.
std::vector<Sequence> ReadBatch(std::istream& in);

// The token of a text field, and back; DecodeUnits throws std::runtime_error on a bad token.
std::string EncodeUnits(const std::optional<std::u16string>& text);
std::optional<std::u16string> DecodeUnits(std::string_view token);

// `text` with everything outside printable ASCII written as \uXXXX, for reports.
std::string Printable(std::u16string_view text);
std::string PrintableBytes(std::string_view bytes);

}  // namespace quenmoor::differential

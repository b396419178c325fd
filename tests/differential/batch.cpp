#include "differential/batch.h"

#include <array>
#include <charconv>
#include <istream>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace quenmoor::differential {
namespace {

constexpr std::string_view HexDigits = "0123456789ABCDEF";

void AppendHex(std::string& out, unsigned value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out.push_back(HexDigits[(value >> static_cast<unsigned>(shift)) & 0xFU]);
    }
}

unsigned ParseHex(std::string_view digits) {
    unsigned value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
        throw std::runtime_error("bad hex digits: " + std::string(digits));
    }
    return value;
}

std::string EncodeBytes(const std::optional<std::string>& bytes) {
    if (!bytes) {
        return "-";
    }
    std::string token = "x";
    for (const char byte : *bytes) {
        AppendHex(token, static_cast<unsigned char>(byte), 2);
    }
    return token;
}

std::optional<std::string> DecodeBytes(std::string_view token) {
    if (token == "-") {
        return std::nullopt;
    }
    if (!token.starts_with('x') || token.size() % 2 != 1) {
        throw std::runtime_error("bad byte field: " + std::string(token));
    }
    std::string bytes;
    for (std::size_t at = 1; at < token.size(); at += 2) {
        bytes.push_back(static_cast<char>(ParseHex(token.substr(at, 2))));
    }
    return bytes;
}

std::vector<std::string> Tokens(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;) {
        tokens.push_back(token);
    }
    return tokens;
}

std::u16string Required(std::string_view token) {
    auto text = DecodeUnits(token);
    if (!text) {
        throw std::runtime_error("a null field where text is needed");
    }
    return std::move(*text);
}

void Expect(bool condition, const std::string& line) {
    if (!condition) {
        throw std::runtime_error("malformed batch line: " + line);
    }
}

}  // namespace

std::string EncodeUnits(const std::optional<std::u16string>& text) {
    if (!text) {
        return "-";
    }
    std::string token = "x";
    for (const char16_t unit : *text) {
        AppendHex(token, unit, 4);
    }
    return token;
}

std::optional<std::u16string> DecodeUnits(std::string_view token) {
    if (token == "-") {
        return std::nullopt;
    }
    if (!token.starts_with('x') || token.size() % 4 != 1) {
        throw std::runtime_error("bad text field: " + std::string(token));
    }
    std::u16string text;
    for (std::size_t at = 1; at < token.size(); at += 4) {
        text.push_back(static_cast<char16_t>(ParseHex(token.substr(at, 4))));
    }
    return text;
}

void WriteBatch(std::ostream& out, const std::vector<Sequence>& batch) {
    for (const Sequence& sequence : batch) {
        out << "S " << sequence.id << ' ' << EncodeBytes(sequence.startBytes) << '\n';
        for (const Name& name : sequence.names) {
            out << "N " << EncodeUnits(name.section) << ' ' << EncodeUnits(name.key) << '\n';
        }
        for (const Operation& op : sequence.operations) {
            if (op.kind == OperationKind::Read) {
                out << "R " << EncodeUnits(op.section) << ' ' << EncodeUnits(op.key) << ' '
                    << EncodeUnits(op.value) << ' ' << op.bufferSize << '\n';
            } else {
                out << "W " << EncodeUnits(op.section) << ' ' << EncodeUnits(op.key) << ' '
                    << EncodeUnits(op.value) << '\n';
            }
        }
        out << "E\n";
    }
}

std::vector<Sequence> ReadBatch(std::istream& in) {
    std::vector<Sequence> batch;
    std::optional<Sequence> open;
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> tokens = Tokens(line);
        Expect(!tokens.empty(), line);
        const std::string& tag = tokens[0];
        if (tag == "S") {
            Expect(!open && tokens.size() == 3, line);
            open = Sequence{std::stoull(tokens[1]), DecodeBytes(tokens[2]), {}, {}};
            continue;
        }
        Expect(open.has_value(), line);
        if (tag == "N" && tokens.size() == 3) {
            open->names.push_back({Required(tokens[1]), Required(tokens[2])});
        } else if (tag == "R" && tokens.size() == 5) {
            open->operations.push_back({OperationKind::Read, Required(tokens[1]),
                                        DecodeUnits(tokens[2]), DecodeUnits(tokens[3]),
                                        std::stoul(tokens[4])});
        } else if (tag == "W" && tokens.size() == 4) {
            open->operations.push_back({OperationKind::Write, Required(tokens[1]),
                                        DecodeUnits(tokens[2]), DecodeUnits(tokens[3]), 0});
        } else if (tag == "E" && tokens.size() == 1) {
            batch.push_back(std::move(*open));
            open.reset();
        } else {
            Expect(false, line);
        }
    }
    Expect(!open, "unfinished last sequence");
    return batch;
}

std::string Printable(std::u16string_view text) {
    std::string out;
    for (const char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F && unit != u'\\') {
            out.push_back(static_cast<char>(unit));
        } else {
            out += "\\u";
            AppendHex(out, unit, 4);
        }
    }
    return out;
}

std::string PrintableBytes(std::string_view bytes) {
    std::string out;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x20 && value < 0x7F && value != '\\') {
            out.push_back(byte);
        } else {
            out += "\\x";
            AppendHex(out, value, 2);
        }
    }
    return out;
}

}  // namespace quenmoor::differential

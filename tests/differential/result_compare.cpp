#include "differential/result_compare.h"

#include <istream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>

namespace quenmoor::differential {
namespace {

using ResultLines = std::map<std::uint64_t, std::vector<std::string>>;

ResultLines ReadResults(std::istream& in) {
    ResultLines results;
    std::vector<std::string>* open = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("S ")) {
            open = &results[std::stoull(line.substr(2))];
        } else if (open != nullptr) {
            open->push_back(line);
        }
    }
    return results;
}

// A result line with its text fields decoded.
std::string Readable(const std::string& line) {
    std::istringstream in(line);
    std::string out;
    for (std::string token; in >> token;) {
        out += ' ';
        out += token.starts_with('x') ? '"' + Printable(*DecodeUnits(token)) + '"' : token;
    }
    return out;
}

std::string Field(const std::optional<std::u16string>& text) {
    return text ? '"' + Printable(*text) + '"' : "null";
}

void Describe(const Sequence& sequence, std::ostream& report) {
    report << "  start file: "
           << (sequence.startBytes ? '"' + PrintableBytes(*sequence.startBytes) + '"' : "none")
           << "\n  read back:";
    for (const Name& name : sequence.names) {
        report << " [" << Printable(name.section) << "]" << Printable(name.key);
    }
    report << '\n';
    for (std::size_t index = 0; index < sequence.operations.size(); ++index) {
        const Operation& op = sequence.operations[index];
        report << "  " << index << (op.kind == OperationKind::Read ? " read " : " write ")
               << Field(op.section) << ' ' << Field(op.key) << ' ' << Field(op.value);
        if (op.kind == OperationKind::Read) {
            report << " buffer " << op.bufferSize;
        }
        report << '\n';
    }
}

}  // namespace

Comparison CompareResults(const std::vector<Sequence>& batch, std::istream& expected,
                          std::istream& actual, std::ostream& report, std::size_t reportLimit) {
    const ResultLines left = ReadResults(expected);
    const ResultLines right = ReadResults(actual);
    Comparison comparison;
    for (const Sequence& sequence : batch) {
        ++comparison.sequences;
        const auto a = left.find(sequence.id);
        const auto b = right.find(sequence.id);
        if (a != left.end() && b != right.end() && a->second == b->second) {
            continue;
        }
        if (++comparison.differing > reportLimit) {
            continue;
        }
        report << "sequence " << sequence.id << " differs\n";
        Describe(sequence, report);
        if (a == left.end() || b == right.end()) {
            report << "  missing from " << (a == left.end() ? "the first" : "the second")
                   << " result file\n";
            continue;
        }
        const std::vector<std::string>& x = a->second;
        const std::vector<std::string>& y = b->second;
        for (std::size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
            const std::string lineA = i < x.size() ? x[i] : "(nothing)";
            const std::string lineB = i < y.size() ? y[i] : "(nothing)";
            if (lineA != lineB) {
                report << "  first: " << Readable(lineA) << "\n  second:" << Readable(lineB)
                       << '\n';
                break;
            }
        }
    }
    return comparison;
}

}  // namespace quenmoor::differential

// One driver, built twice: as a Windows program over kernel32's profile functions and natively
// over our POSIX layer. Both run the same batch and write results that must be identical.
//
//   profile_driver generate SEED COUNT BATCH
//   profile_driver run BATCH FOLDER RESULTS [--check-lossless]
//   profile_driver compare BATCH RESULTS-A RESULTS-B
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "differential/batch.h"
#include "differential/batch_generator.h"
#include "differential/batch_runner.h"
#include "differential/lossless_check.h"
#include "differential/result_compare.h"

namespace quenmoor::differential {
namespace {

constexpr std::size_t ReportLimit = 10;

std::vector<Sequence> LoadBatch(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return ReadBatch(in);
}

// Every write's bytes must change only where the operation allows; a refused write none.
std::optional<std::string> LosslessCheck(const Operation& op, bool written,
                                         const std::optional<std::string>& before,
                                         const std::optional<std::string>& after) {
    if (!written) {
        return before == after ? std::nullopt
                               : std::optional<std::string>("a refused write changed the file");
    }
    if (!before || !after) {
        return std::nullopt;  // the file was created, or removal left no file to compare
    }
    const EditShape shape = !op.key     ? EditShape::SectionRemoved
                            : !op.value ? EditShape::KeyRemoved
                                        : EditShape::ValueSet;
    return CheckLossless(*before, *after, shape);
}

int Generate(std::span<char*> args) {
    if (args.size() != 3) {
        throw std::invalid_argument("generate SEED COUNT BATCH");
    }
    std::ofstream out(args[2], std::ios::binary);
    WriteBatch(out, GenerateBatch(std::stoull(args[0]), std::stoul(args[1])));
    out.close();
    if (!out) {
        throw std::runtime_error(std::string("cannot write ") + args[2]);
    }
    return EXIT_SUCCESS;
}

int Run(std::span<char*> args) {
    const bool lossless = args.size() == 4 && std::string_view(args[3]) == "--check-lossless";
    if (args.size() != 3 && !lossless) {
        throw std::invalid_argument("run BATCH FOLDER RESULTS [--check-lossless]");
    }
    const std::vector<Sequence> batch = LoadBatch(args[0]);
    std::ofstream results(args[2], std::ios::binary);
    const WriteCheck check = lossless ? WriteCheck(LosslessCheck) : WriteCheck();
    const std::size_t problems = RunBatch(batch, args[1], results, std::cerr, check);
    results.close();
    if (!results) {
        throw std::runtime_error(std::string("cannot write ") + args[2]);
    }
    std::cout << batch.size() << " sequences run, " << problems << " problems\n";
    return problems == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}

int Compare(std::span<char*> args) {
    if (args.size() != 3) {
        throw std::invalid_argument("compare BATCH RESULTS-A RESULTS-B");
    }
    const std::vector<Sequence> batch = LoadBatch(args[0]);
    std::ifstream first(args[1]);
    std::ifstream second(args[2]);
    if (!first || !second) {
        throw std::runtime_error("cannot read the result files");
    }
    const Comparison comparison = CompareResults(batch, first, second, std::cout, ReportLimit);
    std::cout << comparison.sequences << " sequences compared, " << comparison.differing
              << " differ\n";
    return comparison.differing == 0 && comparison.sequences > 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}

int Main(std::span<char*> args) {
    const std::string_view command = args.empty() ? "" : args[0];
    const std::span<char*> rest = args.empty() ? args : args.subspan(1);
    if (command == "generate") {
        return Generate(rest);
    }
    if (command == "run") {
        return Run(rest);
    }
    if (command == "compare") {
        return Compare(rest);
    }
    throw std::invalid_argument("generate|run|compare ...");
}

}  // namespace
}  // namespace quenmoor::differential

int main(int argc, char** argv) {
    try {
        return quenmoor::differential::Main(
            std::span(argv, static_cast<std::size_t>(argc)).subspan(1));
    } catch (const std::exception& error) {
        std::cerr << "profile_driver: " << error.what() << '\n';
        return 2;
    }
}

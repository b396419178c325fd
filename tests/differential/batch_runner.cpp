#include "differential/batch_runner.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "platform/profile_functions.h"

namespace quenmoor::differential {
namespace {

namespace profile = quenmoor::platform;

#if defined(_WIN32)
constexpr char Separator = '\\';
#else
constexpr char Separator = '/';
#endif

// Only answers of the profile functions are recorded, never file bytes: kernel32 saves files in
// its own layout (row "byte-layout" of docs/profile-differences.md).

// What a read of a missing key answers in the read-back; no generated value looks like it.
constexpr std::u16string_view Missing = u"<missing>";
constexpr std::size_t ReadBackSize = 1024;

std::optional<std::string> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void StoreBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::u16string Widened(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

const char16_t* PointerOrNull(const std::optional<std::u16string>& text) {
    return text ? text->c_str() : nullptr;
}

class SequenceRun {
  public:
    SequenceRun(const Sequence& sequence, const std::string& folder, std::ostream& results,
                std::ostream& problems, const WriteCheck& check)
        : sequence_(sequence),
          path_(folder + Separator + "p" + std::to_string(sequence.id) + ".ini"),
          copyPath_(folder + Separator + "c" + std::to_string(sequence.id) + ".ini"),
          fileName_(Widened(path_)),
          results_(results),
          problems_(problems),
          check_(check) {}

    // Returns the number of problems found.
    std::size_t Run() {
        results_ << "S " << sequence_.id << '\n';
        if (sequence_.startBytes) {
            StoreBytes(path_, *sequence_.startBytes);
        }
        for (std::size_t index = 0; index < sequence_.operations.size(); ++index) {
            const Operation& op = sequence_.operations[index];
            if (op.kind == OperationKind::Read) {
                Read(index, op);
            } else {
                Write(index, op);
            }
        }
        ReadBackFromDisk();
        std::remove(path_.c_str());
        std::remove(copyPath_.c_str());
        return problemCount_;
    }

  private:
    void Problem(std::size_t index, const std::string& what) {
        problems_ << "sequence " << sequence_.id << ", operation " << index << ": " << what << '\n';
        ++problemCount_;
    }

    void Read(std::size_t index, const Operation& op) {
        std::vector<char16_t> buffer(op.bufferSize + 1, u'#');
        const std::uint32_t count =
            profile::ReadProfileValue(op.section.c_str(), op.key->c_str(), op.value->c_str(),
                                      std::span(buffer).first(op.bufferSize), fileName_.c_str());
        if (count >= op.bufferSize || buffer[count] != u'\0' || buffer[op.bufferSize] != u'#') {
            Problem(index, "the read did not end its answer inside the buffer");
            return;
        }
        results_ << index << " R " << count << ' '
                 << EncodeUnits(std::u16string(buffer.data(), count)) << '\n';
    }

    void Write(std::size_t index, const Operation& op) {
        const std::optional<std::string> before = check_ ? FileBytes(path_) : std::nullopt;
        const bool written = profile::WriteProfileValue(op.section.c_str(), PointerOrNull(op.key),
                                                        PointerOrNull(op.value), fileName_.c_str());
        results_ << index << " W " << (written ? 1 : 0) << '\n';
        if (check_) {
            if (const auto wrong = check_(op, written, before, FileBytes(path_))) {
                Problem(index, *wrong);
            }
        }
        results_ << index << " V" << ReadAll(fileName_) << '\n';
    }

    [[nodiscard]] std::string ReadAll(const std::u16string& fileName) const {
        std::string line;
        std::vector<char16_t> buffer(ReadBackSize);
        for (const Name& name : sequence_.names) {
            const std::uint32_t count = profile::ReadProfileValue(
                name.section.c_str(), name.key.c_str(), Missing.data(), buffer, fileName.c_str());
            line += ' ' + EncodeUnits(std::u16string(buffer.data(), count));
        }
        return line;
    }

    // What the file holds once the profile functions are done with it: a fresh copy is read,
    // so no cached state can stand in for the bytes on disk.
    void ReadBackFromDisk() {
        // Asks for any cached copy to be written out; the answer carries no meaning and is not
        // recorded (row "flush-answer" of docs/profile-differences.md).
        profile::WriteProfileValue(nullptr, nullptr, nullptr, fileName_.c_str());
        const auto bytes = FileBytes(path_);
        if (!bytes) {
            results_ << "F none\n";
            return;
        }
        StoreBytes(copyPath_, *bytes);
        results_ << "F" << ReadAll(Widened(copyPath_)) << '\n';
    }

    const Sequence& sequence_;
    std::string path_;
    std::string copyPath_;
    std::u16string fileName_;
    std::ostream& results_;
    std::ostream& problems_;
    const WriteCheck& check_;
    std::size_t problemCount_ = 0;
};

}  // namespace

std::size_t RunBatch(const std::vector<Sequence>& batch, const std::string& folder,
                     std::ostream& results, std::ostream& problems, const WriteCheck& check) {
    std::size_t problemCount = 0;
    for (const Sequence& sequence : batch) {
        problemCount += SequenceRun(sequence, folder, results, problems, check).Run();
        if (!std::filesystem::is_empty(folder)) {
            problems << "sequence " << sequence.id << ": files were left in " << folder << '\n';
            return problemCount + 1;
        }
    }
    return problemCount;
}

}  // namespace quenmoor::differential

// The order of the system calls of a run, as strace records them: a write that a power cut could
// lose (contents not on disk before the rename, or a rename not on disk before the next step)
// shows up as a call missing or out of place. A page cache that outlives the process hides such
// a fault from every other test.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "posix/program_fixture.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace quenmoor::test {
namespace {

namespace fs = std::filesystem;

// Every call that opens, writes, flushes, names or removes a file.
constexpr const char* TracedCalls =
    "trace=open,openat,creat,write,writev,pwrite64,pwritev,fsync,fdatasync,rename,renameat,"
    "renameat2,link,linkat,unlink,unlinkat";

// What a path is to the run: the profile or the copy, a temporary file beside one of them
// (numbered in the order they appear), one of their folders, or else the path itself.
class Names {
  public:
    Names(fs::path profile, fs::path copy) : profile_(std::move(profile)), copy_(std::move(copy)) {}

    std::string Of(const std::string& path) {
        const fs::path file(path);
        for (const auto& [known, what] :
             {std::pair{profile_, "profile"}, std::pair{copy_, "copy"}}) {
            const std::string temporaryPrefix = "." + known.filename().string() + ".";
            if (file == known) {
                return what;
            }
            if (file == known.parent_path()) {
                return std::string(what) + " folder";
            }
            if (file.parent_path() == known.parent_path() &&
                file.filename().string().starts_with(temporaryPrefix)) {
                auto [at, added] =
                    temporaries_.try_emplace(path, std::string(what) + " temporary ");
                if (added) {
                    at->second += std::to_string(++count_[what]);
                }
                return at->second;
            }
        }
        return path;
    }

  private:
    fs::path profile_;
    fs::path copy_;
    std::map<std::string, std::string> temporaries_;
    std::map<std::string, int> count_;
};

// The calls of an strace log (-y, so descriptors show their paths) that durability rests on,
// one line each: successive writes to one file as one, successive opens of the profile for
// reading as one, a link and the removal of its old name as one naming. Failed calls change
// nothing on disk and are left out.
std::vector<std::string> DurabilityCalls(const std::string& log, Names names) {
    static const std::regex call(R"(^(\w+)\((.*)\) += (-?\d+)(?:<(.*)>)?)");
    static const std::regex quoted(R"re("([^"]*)")re");
    // A descriptor of a file (not a pipe or socket, which AddressSanitizer writes to).
    static const std::regex descriptor(R"(^\d+<(/[^>]*)>)");
    std::vector<std::string> calls;
    std::string lastWritten;
    long long writtenBytes = 0;
    std::string linkedFrom;
    const auto add = [&](const std::string& text) {
        if (text != "read profile" || calls.empty() || calls.back() != text) {
            calls.push_back(text);
        }
        lastWritten.clear();
    };

    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        std::smatch parts;
        if (!std::regex_search(line, parts, call) || std::stoll(parts[3]) < 0) {
            continue;
        }
        const std::string name = parts[1];
        const std::string arguments = parts[2];
        std::vector<std::string> paths;
        for (auto at = std::sregex_iterator(arguments.begin(), arguments.end(), quoted);
             at != std::sregex_iterator(); ++at) {
            paths.push_back((*at)[1]);
        }
        std::smatch fd;
        const std::string fdPath =
            std::regex_search(arguments, fd, descriptor) ? names.Of(fd[1]) : "";

        if (name == "open" || name == "openat" || name == "creat") {
            const std::string opened = names.Of(parts[4]);
            if (name == "creat" || arguments.find("O_CREAT") != std::string::npos) {
                add("create " + opened);
            } else if (opened == "profile") {
                add("read profile");
            }
        } else if ((name.starts_with("write") || name.starts_with("pwrite")) && !fdPath.empty()) {
            const bool more = lastWritten == fdPath;
            writtenBytes = (more ? writtenBytes : 0) + std::stoll(parts[3]);
            if (more) {
                calls.pop_back();
            }
            add("write " + std::to_string(writtenBytes) + " bytes to " + fdPath);
            lastWritten = fdPath;
        } else if (name == "fsync" || name == "fdatasync") {
            add("flush " + fdPath);
        } else if (name.starts_with("rename") && paths.size() == 2) {
            const bool keeps = arguments.find("RENAME_NOREPLACE") != std::string::npos;
            add((keeps ? "name without replacing " : "rename ") + names.Of(paths[0]) + " as " +
                names.Of(paths[1]));
        } else if (name.starts_with("link") && paths.size() == 2) {
            add("name without replacing " + names.Of(paths[0]) + " as " + names.Of(paths[1]));
            linkedFrom = paths[0];
        } else if (name.starts_with("unlink") && !paths.empty() && paths.back() != linkedFrom) {
            add("remove " + names.Of(paths.back()));
        }
    }
    return calls;
}

// The calls of one write as it must be made: a new temporary file beside the final name gets
// every byte, is flushed, takes the name and has its folder flushed.
std::vector<std::string> DurableWrite(const std::string& file, int temporary, std::size_t bytes,
                                      bool replacing) {
    const std::string made = file + " temporary " + std::to_string(temporary);
    return {"create " + made, "write " + std::to_string(bytes) + " bytes to " + made,
            "flush " + made,
            (replacing ? "rename " : "name without replacing ") + made + " as " + file,
            "flush " + file + " folder"};
}

TEST_F(ProgramTest, EveryWriteReachesTheDiskBeforeTheNextStep) {
    const std::string before = OneStaleLinkProfile();
    WriteBytes(Source(), before);
    std::string linkWritten = before;
    linkWritten.replace(linkWritten.find(OldFaq), OldFaq.size(), NewFaq());
    const std::string after = Updated(before);

    const TempFolder folder;
    const std::string log = (folder.Path() / "strace.log").string();
    std::vector<std::string> strace = {"strace", "-o", log,           "-qq", "-y",       "-s",
                                       "0",      "-e", "signal=none", "-e",  TracedCalls};
    if (QUENMOOR_TEST_SANITIZED) {
        // LeakSanitizer's check at exit needs ptrace, which strace holds.
        strace.insert(strace.begin() + 1, {"-E", "ASAN_OPTIONS=detect_leaks=0"});
    }
    const ChildOutcome outcome = Run(ChildOptions::Under(strace));
    ASSERT_TRUE(fs::exists(log) && outcome.exited && outcome.exitStatus == 0)
        << "strace could not trace the program (installed? ptrace allowed?): status "
        << outcome.exitStatus << ", " << outcome.errors;
    ExpectQuiet(outcome);
    ASSERT_EQ(ReadBytes(Source()), after);
    ASSERT_EQ(ReadBytes(Target()), after);

    std::vector<std::string> expected = {"read profile"};
    for (const auto& write :
         {DurableWrite("profile", 1, linkWritten.size(), true),
          std::vector<std::string>{"read profile"}, DurableWrite("profile", 2, after.size(), true),
          std::vector<std::string>{"read profile"}, DurableWrite("copy", 1, after.size(), false)}) {
        expected.insert(expected.end(), write.begin(), write.end());
    }
    EXPECT_EQ(DurabilityCalls(ReadBytes(log), Names(Source(), Target())), expected);
}

}  // namespace
}  // namespace quenmoor::test

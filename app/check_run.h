// The check: where the profile stands against the update run, found without changing anything.
#pragma once

#include <cstdint>
#include <string>

namespace quenmoor::app {

// The check's exit statuses; Untrusted is decided first, then the others from the bottom up.
enum class CheckStatus : std::uint32_t {
    Current = 0,       // version non-zero, every present link current, the copy exists
    WouldChange = 1,   // at least one present link differs from the built-in one
    CopyMissing = 2,   // links current, but no copy at the target path
    GateClosed = 3,    // VERSAO is 0, missing or not a number: the run would stop
    NoProfile = 4,     // the profile path is not an existing file by the run's existence test
    Unreadable = 5,    // the profile exists but cannot be read or held (or the check failed)
    Untrusted = 6,     // someone else could change where the run's paths lead: the task would
                       // not act (decided first)
    Unconfigured = 7,  // what would be Current, from a build whose links are examples
};

struct CheckResult {
    CheckStatus status;
    // One line of plain ASCII without its line end; README.md lists every form.
    std::string line;
};

// Applies the update run's own rules to the profile at `SourcePath` and the copy at `TargetPath`,
// through a profile object that never writes or flushes. Nothing on disk is changed.
CheckResult RunCheck(const std::u16string& SourcePath, const std::u16string& TargetPath);

// Which build answers: one built beside the test suite, one whose links are examples.
struct BuildKind {
    bool test;
    bool unconfigured;
};

// The check's answer as this build must give it: a test or unconfigured build says so before
// its line, whatever the line is, and an unconfigured build never calls a machine current, so
// that rules reading the status fail closed on it. A configured release build's answer is
// left as it is.
CheckResult LabelForBuild(CheckResult result, BuildKind build);

// Runs the check over the fixed profile paths, prints its line on standard output and ends the
// process with its status.
[[noreturn]] void RunCheckProgram() noexcept;

}  // namespace quenmoor::app

// Runs a program as a child process the way an administrator's scheduler would: no arguments,
// no input, its output captured, its peak memory measured.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quenmoor::test {

struct ChildOptions {
    static ChildOptions KillAfter(std::chrono::microseconds delay) {
        ChildOptions options;
        options.killAfter = delay;
        return options;
    }
    static ChildOptions Timeout(std::chrono::milliseconds limit) {
        ChildOptions options;
        options.timeout = limit;
        return options;
    }
    static ChildOptions InMountNamespaceOf(pid_t holder) {
        ChildOptions options;
        options.mountNamespaceOf = holder;
        return options;
    }
    static ChildOptions Under(std::vector<std::string> launcher) {
        ChildOptions options;
        options.launcher = std::move(launcher);
        return options;
    }
    static ChildOptions AddressSpaceLimit(std::size_t bytes) {
        ChildOptions options;
        options.addressSpace = bytes;
        return options;
    }

    // Sends SIGKILL this long after the start.
    std::optional<std::chrono::microseconds> killAfter;
    // A run still going after this long counts as hung and is killed.
    std::chrono::milliseconds timeout{std::chrono::seconds(60)};
    // Runs the program inside the mount namespace of this process.
    std::optional<pid_t> mountNamespaceOf;
    // A command (looked up in PATH) that starts the program, given as its last argument.
    std::vector<std::string> launcher;
    // The most address space the program may map (RLIMIT_AS).
    std::optional<std::size_t> addressSpace;
};

struct ChildOutcome {
    bool exited = false;  // ended by itself rather than by a signal
    int exitStatus = -1;
    bool hung = false;
    std::string output;  // what it wrote on stdout
    std::string errors;  // what it wrote on stderr
    // The largest resident set of the child, in bytes. Measured from the fork, so it is an upper
    // bound that includes the pages the child shared with this process before it exec'd.
    long long peakBytes = 0;
};

ChildOutcome RunChild(const std::string& program, const ChildOptions& options = {});

// The id of a process that has ended and been reaped: no process has it, until the system hands
// it out again.
pid_t EndedProcessId();

}  // namespace quenmoor::test

#include "support/linux/child_process.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace quenmoor::test {
namespace {

std::string ReadAllFrom(int fd) {
    std::string bytes;
    ::lseek(fd, 0, SEEK_SET);
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0) {
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

// The command line is made before the fork.
[[noreturn]] void ExecInChild(std::vector<char*>& argv, int out, int err,
                              const ChildOptions& options) {
    if (options.mountNamespaceOf) {
        const std::string ns = "/proc/" + std::to_string(*options.mountNamespaceOf) + "/ns/mnt";
        const int nsFd = ::open(ns.c_str(), O_RDONLY | O_CLOEXEC);
        if (nsFd < 0 || ::setns(nsFd, CLONE_NEWNS) != 0) {
            ::_exit(126);
        }
    }
    const int in = ::open("/dev/null", O_RDONLY);
    if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
        ::_exit(126);
    }
    if (options.addressSpace) {
        const rlimit limit{*options.addressSpace, *options.addressSpace};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            ::_exit(126);
        }
    }
    ::execvp(argv.front(), argv.data());
    ::_exit(127);
}

}  // namespace

ChildOutcome RunChild(const std::string& program, const ChildOptions& options) {
    const int out = ::memfd_create("child-stdout", 0);
    const int err = ::memfd_create("child-stderr", 0);
    if (out < 0 || err < 0) {
        throw std::runtime_error("memfd_create failed");
    }
    // The launcher's words, then the program.
    std::vector<std::string> words = options.launcher;
    words.push_back(program);
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        ExecInChild(argv, out, err, options);
    }

    ChildOutcome outcome;
    bool killSent = false;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t ended = ::wait4(child, &status, WNOHANG, &usage);
        if (ended == child) {
            break;
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (!killSent && options.killAfter && elapsed >= *options.killAfter) {
            ::kill(child, SIGKILL);
            killSent = true;
        }
        if (!killSent && elapsed >= options.timeout) {
            outcome.hung = true;
            ::kill(child, SIGKILL);
            killSent = true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    outcome.exited = WIFEXITED(status);
    outcome.exitStatus = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.peakBytes = static_cast<long long>(usage.ru_maxrss) * 1024;
    outcome.output = ReadAllFrom(out);
    outcome.errors = ReadAllFrom(err);
    return outcome;
}

pid_t EndedProcessId() {
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

}  // namespace quenmoor::test

#include "bench/linux/process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "bench/linux/checked_io.h"

extern char** environ;  // NOLINT(readability-redundant-declaration)

namespace quenmoor::bench {

void RunProcess(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(
            const_cast<char*>(argument.c_str()));  // NOLINT(cppcoreguidelines-pro-type-const-cast)
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (const int error = ::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ);
        error != 0) {
        throw std::system_error(error, std::generic_category(), "start " + arguments[0]);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        Check(errno == EINTR, "wait for " + arguments[0]);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(arguments[0] + " did not end with status 0");
    }
}

void PointLinkAt(const std::filesystem::path& link, const std::filesystem::path& folder) {
    std::filesystem::path staged = link;
    staged += ".new";
    std::filesystem::remove(staged);
    std::filesystem::create_directory_symlink(folder, staged);
    std::filesystem::rename(staged, link);
}

}  // namespace quenmoor::bench

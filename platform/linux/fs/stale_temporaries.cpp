#include "platform/linux/fs/stale_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <memory>

namespace quenmoor::platform::posix {
namespace {

constexpr std::size_t UniqueSuffixLength = 6;

bool IsAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool ProcessIsGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

// Built by appending: GCC 12 warns falsely (-Wrestrict) about "." + std::string at -O3.
std::string Prefix(std::string_view name) {
    std::string prefix(1, '.');
    prefix += name;
    prefix += '.';
    return prefix;
}

}  // namespace

std::string TemporaryNameTemplate(std::string_view name, pid_t pid) {
    std::string result = Prefix(name);
    result += std::to_string(pid);
    result += '.';
    result.append(UniqueSuffixLength, 'X');
    return result;
}

std::optional<pid_t> TemporaryFileOwner(std::string_view entry, std::string_view name) {
    const std::string prefix = Prefix(name);
    if (!entry.starts_with(prefix) || entry.size() < prefix.size() + UniqueSuffixLength + 3) {
        return std::nullopt;
    }
    const std::string_view suffix = entry.substr(entry.size() - UniqueSuffixLength);
    const std::string_view digits =
        entry.substr(prefix.size(), entry.size() - prefix.size() - UniqueSuffixLength - 1);
    if (entry[entry.size() - UniqueSuffixLength - 1] != '.' ||
        !std::all_of(suffix.begin(), suffix.end(), IsAlphanumeric)) {
        return std::nullopt;
    }
    pid_t pid = 0;
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (parsed.ec != std::errc{} || parsed.ptr != digits.data() + digits.size() || pid <= 0 ||
        digits.front() == '0') {
        return std::nullopt;
    }
    return pid;
}

void RemoveStaleTemporaries(const std::string& folder, std::string_view name) {
    const auto closeListing = [](DIR* open) { ::closedir(open); };
    const std::unique_ptr<DIR, decltype(closeListing)> listing(::opendir(folder.c_str()),
                                                               closeListing);
    if (!listing) {
        return;
    }
    const int folderFd = ::dirfd(listing.get());
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string entryName(static_cast<const char*>(entry->d_name));
        const auto owner = TemporaryFileOwner(entryName, name);
        if (!owner || *owner == ::getpid() || !ProcessIsGone(*owner)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(folderFd, entryName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            ::unlinkat(folderFd, entryName.c_str(), 0);
        }
    }
}

}  // namespace quenmoor::platform::posix

#include "platform/linux/trust_walk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>
#include <system_error>

#include "text/utf.h"

namespace quenmoor::platform::posix {
namespace {

// One entry of a path: its name in its folder, and the path up to it as the program names it.
struct Entry {
    std::string name;
    std::u16string shown;
};

// The entries of "C:\A\B\f" below the drive: A, B and f. Nothing for a path elsewhere, or with a
// name that a folder cannot hold as it is (empty, ".", "..", a slash, a NUL, an unpaired
// surrogate): the walk would not test the entry the program means.
std::optional<std::vector<Entry>> EntriesOf(const std::u16string& path) {
    constexpr std::size_t DriveLength = 3;
    if (path.size() <= DriveLength || (path[0] != u'C' && path[0] != u'c') ||
        path.compare(1, 2, u":\\") != 0) {
        return std::nullopt;
    }
    std::vector<Entry> entries;
    for (std::size_t start = DriveLength, end = 0; start <= path.size(); start = end + 1) {
        end = std::min(path.find(u'\\', start), path.size());
        auto name = text::ToUtf8(std::u16string_view(path).substr(start, end - start));
        if (!name || name->empty() || *name == "." || *name == ".." ||
            name->find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
            return std::nullopt;
        }
        entries.push_back({std::move(*name), path.substr(0, end)});
    }
    return entries;
}

std::string Octal(mode_t mode) {
    std::string digits;
    for (int shift = 9; shift >= 0; shift -= 3) {
        digits += static_cast<char>('0' + ((mode >> static_cast<unsigned>(shift)) & 07U));
    }
    return digits;
}

using Problem = std::optional<std::string>;

Problem OwnerProblem(const struct stat& info) {
    if (info.st_uid == 0 || info.st_uid == ::geteuid()) {
        return std::nullopt;
    }
    return "is owned by user " + std::to_string(info.st_uid) + ", not root or the running user";
}

// Whoever may write a folder can rename or replace any entry in it, or make one that is missing
// (the sticky bit does not stop the last), so only its trusted owner may.
Problem FolderProblem(const struct stat& info) {
    if (S_ISLNK(info.st_mode)) {
        return "is a symbolic link";
    }
    if (!S_ISDIR(info.st_mode)) {
        return "is not a folder";
    }
    if (auto owner = OwnerProblem(info)) {
        return owner;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "lets others add, remove or rename its entries (mode " + Octal(info.st_mode) + ")";
    }
    return std::nullopt;
}

// Others may write the profile: that changes what it says, never where the run goes. A second
// name means the file also lives elsewhere, perhaps in a folder nobody tested: the run would copy
// out whatever it is, and its rewrite (a new file renamed into place) would part the two names.
Problem ProfileProblem(const struct stat& info) {
    if (S_ISLNK(info.st_mode)) {
        return "is a symbolic link";
    }
    if (S_ISDIR(info.st_mode)) {
        return std::nullopt;  // no profile, which the existence test reports
    }
    if (!S_ISREG(info.st_mode)) {
        return "is not a plain file";
    }
    if (info.st_nlink != 1) {
        return "has " + std::to_string(info.st_nlink) + " hard links";
    }
    return OwnerProblem(info);
}

// Whatever keeps an entry from being tested fails the test: an entry that cannot be told sound
// is not.
std::string CannotOpen(int error) {
    return "cannot be opened to test it (" + std::generic_category().message(error) + ")";
}

enum class Step { Passed, Missing, Faulty };

class Walker {
  public:
    Walker(std::string_view driveRoot, TrustWalk& walk) : driveRoot_(driveRoot), walk_(walk) {}

    // Opens and tests the folders `entries` from `from` on, the first below `parent`: the
    // descriptors of those that passed, up to one that is missing; nothing at a fault.
    std::optional<std::vector<int>> Folders(std::span<const Entry> entries, std::size_t from,
                                            int parent) {
        std::vector<int> opened;
        for (std::size_t at = from; at < entries.size(); ++at) {
            const Step step = Test(parent, entries[at], FolderProblem);
            if (step == Step::Missing) {
                break;  // only the trusted could make it, below a sound folder
            }
            if (step == Step::Faulty) {
                return std::nullopt;
            }
            parent = walk_.held.back().Get();
            opened.push_back(parent);
        }
        return opened;
    }

    void Profile(int folder, const Entry& profile) {
        const std::size_t before = walk_.held.size();
        if (Test(folder, profile, ProfileProblem) == Step::Passed && S_ISDIR(tested_.st_mode)) {
            walk_.held.pop_back();  // a plain folder at the profile's name is not held
        }
        walk_.profileHeld = walk_.held.size() > before;
    }

    // After a fault in a folder the walk stops, yet an ordinary user's run goes on through the
    // paths by name as it always did, and holds the profile like any run: by its name, without
    // following a link in its own place.
    void ProfileByName(std::span<const Entry> source) {
        std::string path(driveRoot_);
        for (const Entry& entry : source) {
            path += (path.ends_with('/') ? "" : "/") + entry.name;
        }
        UniqueFd profile(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (profile.Valid()) {
            walk_.held.push_back(std::move(profile));
            walk_.profileHeld = true;
        }
    }

  private:
    // Opens `entry` in `folder` without following a link in its place, only to learn what it is
    // and to hold it, and tests it by `problemOf`.
    Step Test(int folder, const Entry& entry, Problem (*problemOf)(const struct stat&)) {
        UniqueFd opened(::openat(folder, entry.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!opened.Valid() || ::fstat(opened.Get(), &tested_) != 0) {
            const int error = errno;
            if (error == ENOENT) {
                return Step::Missing;
            }
            walk_.fault = TrustFault{entry.shown, CannotOpen(error)};
            return Step::Faulty;
        }
        walk_.held.push_back(std::move(opened));
        if (auto problem = problemOf(tested_)) {
            walk_.fault = TrustFault{entry.shown, std::move(*problem)};
            return Step::Faulty;
        }
        return Step::Passed;
    }

    std::string_view driveRoot_;
    TrustWalk& walk_;
    struct stat tested_ {};  // what the last entry opened is
};

}  // namespace

TrustWalk WalkTrusted(std::string_view driveRoot, const std::u16string& source,
                      const std::u16string& target) {
    TrustWalk walk;
    const auto sourceEntries = EntriesOf(source);
    const auto targetEntries = EntriesOf(target);
    if (!sourceEntries || !targetEntries) {
        walk.fault = TrustFault{sourceEntries ? target : source, "is not a plain path below C:\\"};
        return walk;
    }
    // C:\ itself is the administrator's choice of folder, as on Windows, and is not tested.
    const UniqueFd root(::open(std::string(driveRoot).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root.Valid()) {
        const int error = errno;
        if (error != ENOENT) {
            walk.fault = TrustFault{source.substr(0, 3), CannotOpen(error)};
        }
        return walk;
    }
    Walker walker(driveRoot, walk);
    const std::span<const Entry> profileFolders(sourceEntries->data(), sourceEntries->size() - 1);
    const std::span<const Entry> copyFolders(targetEntries->data(), targetEntries->size() - 1);
    // The profile's folders from the top, as far as they exist; then the copy's, less those the
    // two paths share, which are held already.
    const auto opened = walker.Folders(profileFolders, 0, root.Get());
    std::size_t shared = 0;
    while (opened && shared < opened->size() && shared < copyFolders.size() &&
           copyFolders[shared].name == profileFolders[shared].name) {
        ++shared;
    }
    if (!opened ||
        !walker.Folders(copyFolders, shared, shared == 0 ? root.Get() : (*opened)[shared - 1])) {
        walker.ProfileByName(*sourceEntries);
        return walk;
    }
    if (opened->size() == profileFolders.size()) {
        walker.Profile(opened->empty() ? root.Get() : opened->back(), sourceEntries->back());
    }
    return walk;
}

}  // namespace quenmoor::platform::posix

// The last profile read, kept between calls: the update run reads one file two hundred times, and
// reading and scanning all of it each time is what made large profiles slow. A kept copy is
// served only while nothing can have changed the file since it was read; see profile_cache.cpp.
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::platform::posix {

class ProfileCache {
  public:
    // A reading of the clock the kernel stamps files with. Whether a kept copy is settled depends
    // on it, so tests hand in their own to choose.
    using Clock = timespec (*)();

    // Reads the real clock (FileClockNow).
    ProfileCache();
    explicit ProfileCache(Clock clock);
    ProfileCache(const ProfileCache&) = delete;
    ProfileCache& operator=(const ProfileCache&) = delete;
    ProfileCache(ProfileCache&&) = delete;
    ProfileCache& operator=(ProfileCache&&) = delete;
    ~ProfileCache();

    // The value of `key` in `section` of the file at `path` (links followed) as the file is on
    // disk now, quotes removed, exactly as FindValue on its freshly read bytes would answer;
    // nothing when the file cannot be read or the section or key is missing.
    std::optional<std::u16string> FindValue(const std::string& path, std::u16string_view section,
                                            std::u16string_view key);

    // The kept copy of `path` with what stat says of the file now, when the stamps prove it is
    // still the file on disk (see profile_cache.cpp), so a write can start from it instead of
    // reading the file again. The copy is dropped in any case: every write
    // through the profile functions calls this or Forget first, and the memory is free for the
    // write.
    struct Kept {
        std::string bytes;
        struct stat info;
    };
    std::optional<Kept> Take(const std::string& path);

    // Drops the kept copy.
    void Forget();

  private:
    struct Entry;
    [[nodiscard]] bool Unchanged(const Entry& entry, struct stat& now) const;

    Clock clock_;
    std::mutex mutex_;
    std::unique_ptr<Entry> entry_;
};

// The one cache the profile functions use.
ProfileCache& SharedProfileCache();

}  // namespace quenmoor::platform::posix

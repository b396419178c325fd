// The recording double: profile values in memory and a journal of every call made on them, one
// line a call, in call order:
//   "R section/key"        a read
//   "W section/key=value"  a write, the refused one too
//   "FLUSH file"           the flush call
//   "EXISTS file"          the existence test of the source profile
//   "READABLE file"        the readability test of the source profile
//   "COPY source>target"   the copy
//   "HOLD source>target"   the paths opened and tested; "RELEASE" when they are let go
// It stands in for a profile (RecordingProfile), or, in programs linked with
// recording_platform.cpp, for the platform's profile functions and file operations (Recorded()).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "profile/custom_ini_file.h"
#include "profile/ini_file_exception.h"

namespace quenmoor::test {

struct ProfileRecording {
    std::map<std::pair<std::u16string, std::u16string>, std::u16string> values;
    std::vector<std::u16string> calls;
    // The write with this 1-based number is refused.
    std::optional<int> refusedWrite;
    int writeCount = 0;
    // What the existence test answers.
    bool fileExists = true;
    // What holding the paths finds, and whether the process runs as a service.
    bool profileHeld = true;
    std::optional<std::pair<std::u16string, std::string>> trustFault;
    bool serviceIdentity = true;

    // Journals the read; the stored value, or nothing when the key is absent.
    std::optional<std::u16string> Read(const std::u16string& section, const std::u16string& key);
    // Journals the write and stores the value; false, storing nothing, when it is the refused one.
    bool Write(const std::u16string& section, const std::u16string& key,
               const std::u16string& value);
};

// A profile over the recording. A refused write raises EIniFileException, as TIniFile's does.
class RecordingProfile final : public profile::TCustomIniFile, public ProfileRecording {
  public:
    RecordingProfile() : TCustomIniFile(u"memory.ini") {}

    std::u16string ReadString(const std::u16string& Section, const std::u16string& Ident,
                              const std::u16string& Default) override;
    void WriteString(const std::u16string& Section, const std::u16string& Ident,
                     const std::u16string& Value) override;
    void UpdateFile() override;
};

// The recording that the platform functions of recording_platform.cpp serve; a test resets it.
ProfileRecording& Recorded();

}  // namespace quenmoor::test

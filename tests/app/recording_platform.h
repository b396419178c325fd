// A platform that keeps the profile in memory and records every call the run and TIniFile make
// to it. Test programs linked with recording_platform.cpp get these in place of the system's
// profile functions and file operations.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quenmoor::test {

struct RecordedPlatform {
    std::map<std::pair<std::u16string, std::u16string>, std::u16string> values;
    bool fileExists = true;
    // The write with this 1-based number is refused.
    std::optional<int> refusedWrite;
    int writeCount = 0;
    // "EXISTS file", "READABLE file", "R section/key|default|buffer size",
    // "W section/key=value", "FLUSH file" and "COPY source>target", in call order.
    std::vector<std::u16string> calls;
};

// The platform the recording functions serve; reset for each test.
RecordedPlatform& Recorded();

}  // namespace quenmoor::test

// An in-memory profile that records every call the update run makes, and can be told to refuse
// one of the writes.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "profile/custom_ini_file.h"
#include "profile/ini_file_exception.h"

namespace quenmoor::test {

class RecordingProfile final : public profile::TCustomIniFile {
  public:
    RecordingProfile() : TCustomIniFile(u"memory.ini") {}

    std::map<std::pair<std::u16string, std::u16string>, std::u16string> values;
    // "R section/key" and "W section/key=value", in call order.
    std::vector<std::u16string> calls;
    int writeCount = 0;
    // The write with this 1-based number is refused.
    std::optional<int> refusedWrite;

    std::u16string ReadString(const std::u16string& Section, const std::u16string& Ident,
                              const std::u16string& Default) override {
        calls.push_back(u"R " + Section + u"/" + Ident);
        const auto found = values.find({Section, Ident});
        return found == values.end() ? Default : found->second;
    }

    void WriteString(const std::u16string& Section, const std::u16string& Ident,
                     const std::u16string& Value) override {
        calls.push_back(u"W " + Section + u"/" + Ident + u"=" + Value);
        if (++writeCount == refusedWrite) {
            throw profile::EIniFileException(FileName());
        }
        values[{Section, Ident}] = Value;
    }

    void UpdateFile() override { calls.emplace_back(u"FLUSH"); }
};

}  // namespace quenmoor::test

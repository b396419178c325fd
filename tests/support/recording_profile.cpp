#include "support/recording_profile.h"

namespace quenmoor::test {

std::optional<std::u16string> ProfileRecording::Read(const std::u16string& section,
                                                     const std::u16string& key) {
    calls.push_back(u"R " + section + u"/" + key);
    const auto found = values.find({section, key});
    return found == values.end() ? std::nullopt : std::optional(found->second);
}

bool ProfileRecording::Write(const std::u16string& section, const std::u16string& key,
                             const std::u16string& value) {
    calls.push_back(u"W " + section + u"/" + key + u"=" + value);
    if (++writeCount == refusedWrite) {
        return false;
    }
    values[{section, key}] = value;
    return true;
}

std::u16string RecordingProfile::ReadString(const std::u16string& Section,
                                            const std::u16string& Ident,
                                            const std::u16string& Default) {
    return Read(Section, Ident).value_or(Default);
}

void RecordingProfile::WriteString(const std::u16string& Section, const std::u16string& Ident,
                                   const std::u16string& Value) {
    if (!Write(Section, Ident, Value)) {
        throw profile::EIniFileException(FileName());
    }
}

void RecordingProfile::UpdateFile() { calls.push_back(u"FLUSH " + FileName()); }

}  // namespace quenmoor::test

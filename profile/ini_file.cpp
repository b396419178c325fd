#include "profile/ini_file.h"

#include <algorithm>
#include <array>

#include "platform/profile_functions.h"
#include "profile/ini_file_exception.h"

namespace quenmoor::profile {

namespace {

// Values longer than this are read cut to ReadBufferSize - 1 code units.
constexpr std::size_t ReadBufferSize = 2048;

std::u16string ReadFromFile(const std::u16string& FileName, const std::u16string& Section,
                            const std::u16string& Ident, const std::u16string& Default) {
    std::array<char16_t, ReadBufferSize> buffer{};
    const auto count = platform::ReadProfileValue(Section.c_str(), Ident.c_str(), Default.c_str(),
                                                  buffer, FileName.c_str());
    return {buffer.data(), std::min<std::size_t>(count, buffer.size())};
}

}  // namespace

TIniFile::~TIniFile() { UpdateFile(); }

std::u16string TIniFile::ReadString(const std::u16string& Section, const std::u16string& Ident,
                                    const std::u16string& Default) {
    return ReadFromFile(FileName(), Section, Ident, Default);
}

void TIniFile::WriteString(const std::u16string& Section, const std::u16string& Ident,
                           const std::u16string& Value) {
    if (!platform::WriteProfileValue(Section.c_str(), Ident.c_str(), Value.c_str(),
                                     FileName().c_str())) {
        throw EIniFileException(FileName());
    }
}

void TIniFile::UpdateFile() {
    // All three null: the platform's request to write out its cached copy. Its result says
    // nothing useful, so it is ignored; and since the destructor calls this, nothing may escape.
    try {
        static_cast<void>(
            platform::WriteProfileValue(nullptr, nullptr, nullptr, FileName().c_str()));
    } catch (...) {  // NOLINT(bugprone-empty-catch): a flush request has no failure to report
    }
}

std::u16string TReadOnlyIniFile::ReadString(const std::u16string& Section,
                                            const std::u16string& Ident,
                                            const std::u16string& Default) {
    return ReadFromFile(FileName(), Section, Ident, Default);
}

void TReadOnlyIniFile::WriteString(const std::u16string& /*Section*/,
                                   const std::u16string& /*Ident*/,
                                   const std::u16string& /*Value*/) {
    // The failure of a refused write, raised before anything reaches the platform.
    throw EIniFileException{FileName()};
}

}  // namespace quenmoor::profile

// Profiles backed by a file through the platform's profile functions. They cache nothing: every
// read and write is one call of the platform, made at once.
#pragma once

#include "profile/custom_ini_file.h"

namespace quenmoor::profile {

class TIniFile final : public TCustomIniFile {
  public:
    // Only stores the path: nothing on disk is touched, and a missing file is accepted.
    explicit TIniFile(std::u16string FileName) : TCustomIniFile(std::move(FileName)) {}
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;
    TIniFile(TIniFile&&) = delete;
    TIniFile& operator=(TIniFile&&) = delete;
    // Makes the flush call, on every path that destroys the object.
    ~TIniFile() override;

    std::u16string ReadString(const std::u16string& Section, const std::u16string& Ident,
                              const std::u16string& Default) override;
    void WriteString(const std::u16string& Section, const std::u16string& Ident,
                     const std::u16string& Value) override;
    void UpdateFile() override;
};

// The same file for a program that must never change it: reads exactly as TIniFile does, but no
// write and no flush request ever reaches the platform, which may answer a flush request by
// rewriting the file. Destroying it makes no platform call.
class TReadOnlyIniFile final : public TCustomIniFile {
  public:
    // Only stores the path: nothing on disk is touched, and a missing file is accepted.
    explicit TReadOnlyIniFile(std::u16string FileName) : TCustomIniFile(std::move(FileName)) {}

    std::u16string ReadString(const std::u16string& Section, const std::u16string& Ident,
                              const std::u16string& Default) override;
    // Refused at once with EIniFileException, without asking the platform.
    void WriteString(const std::u16string& Section, const std::u16string& Ident,
                     const std::u16string& Value) override;
    // Nothing was written, so there is nothing to flush.
    void UpdateFile() override {}
};

}  // namespace quenmoor::profile

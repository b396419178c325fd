// The abstract profile: named text values in sections, with integers stored as text.
#pragma once

#include <cstdint>
#include <string>

namespace quenmoor::profile {

class TCustomIniFile {
  public:
    explicit TCustomIniFile(std::u16string FileName) : FFileName(std::move(FileName)) {}
    TCustomIniFile(const TCustomIniFile&) = delete;
    TCustomIniFile& operator=(const TCustomIniFile&) = delete;
    TCustomIniFile(TCustomIniFile&&) = delete;
    TCustomIniFile& operator=(TCustomIniFile&&) = delete;
    virtual ~TCustomIniFile() = default;

    [[nodiscard]] const std::u16string& FileName() const noexcept { return FFileName; }

    // Never fails: a missing file, section or key reads as `Default`.
    virtual std::u16string ReadString(const std::u16string& Section, const std::u16string& Ident,
                                      const std::u16string& Default) = 0;
    // Stores `Value` (an empty one too); raises EIniFileException when the write is refused.
    virtual void WriteString(const std::u16string& Section, const std::u16string& Ident,
                             const std::u16string& Value) = 0;
    // The stored text converted by the integer-text rules, or `Default` when it is not an integer.
    virtual std::int32_t ReadInteger(const std::u16string& Section, const std::u16string& Ident,
                                     std::int32_t Default);
    // Stores `Value` as plain decimal text; fails as WriteString fails.
    virtual void WriteInteger(const std::u16string& Section, const std::u16string& Ident,
                              std::int32_t Value);
    // Asks for every write to be on disk. Never fails.
    virtual void UpdateFile() = 0;

  private:
    std::u16string FFileName;
};

}  // namespace quenmoor::profile

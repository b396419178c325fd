// The platform's profile functions: named values in INI-style files, read and written one at a
// time, straight to the file. On Windows these are kernel32's own; elsewhere our own layer keeps
// the same contract.
#pragma once

#include <cstdint>
#include <span>

namespace quenmoor::platform {

// Copies the value of `key` in `section` of `fileName` (or `defaultValue` without its trailing
// spaces when the file, the section or the key is missing) into `buffer`, cut to buffer.size() - 1
// code units, followed by a NUL. Returns the number of code units copied, not counting the NUL. All
// arguments are NUL-terminated and non-null; an empty buffer receives nothing and 0 is returned.
std::uint32_t ReadProfileValue(const char16_t* section, const char16_t* key,
                               const char16_t* defaultValue, std::span<char16_t> buffer,
                               const char16_t* fileName);

// Stores `value` as the value of `key` in `section` of `fileName`; the change is in the file
// when the call returns. Returns false when the write is refused. A null `value` removes the key,
// a null `key` removes the section, and all three null asks for any cached copy of the file to be
// written out (the result of that request carries no meaning).
bool WriteProfileValue(const char16_t* section, const char16_t* key, const char16_t* value,
                       const char16_t* fileName);

}  // namespace quenmoor::platform

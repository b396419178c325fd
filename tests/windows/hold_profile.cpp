// Holds the program's profile open without sharing it until its standard input ends, so that
// every other program is refused the file, as when another program keeps it locked. Prints
// "held" once it holds it; ends with status 1 when it cannot.
#include <cstdio>
#include <string>

#include "app/profile_vocabulary.h"
#include "platform/win32/unique_handle.h"

int wmain() {
    const std::wstring path(quenmoor::app::SourceProfilePath.begin(),
                            quenmoor::app::SourceProfilePath.end());
    constexpr DWORD NoSharing = 0;
    const quenmoor::platform::win32::FileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, NoSharing, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return 1;
    }
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    char byte = 0;
    DWORD count = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &count, nullptr) != FALSE &&
           count > 0) {
    }
    return 0;
}

// Holds the program's profile open until its standard input ends. Without arguments it shares
// nothing, so every other program is refused the file, as when another program keeps it locked;
// with --shared it reads and writes with read and write sharing, as the support application may
// while it runs. Prints "held" once it holds it; ends with status 1 when it cannot.
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "app/profile_vocabulary.h"
#include "platform/win32/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
    const std::wstring path(quenmoor::app::SourceProfilePath.begin(),
                            quenmoor::app::SourceProfilePath.end());
    const std::span arguments(argv, static_cast<std::size_t>(argc));
    const bool shared = arguments.size() > 1 && std::wstring_view(arguments[1]) == L"--shared";
    const DWORD access = shared ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    const DWORD sharing = shared ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    const quenmoor::platform::win32::FileHandle file(::CreateFileW(
        path.c_str(), access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

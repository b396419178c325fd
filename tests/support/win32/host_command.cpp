#include "support/win32/host_command.h"

#include <chrono>
#include <memory>
#include <thread>

#include "platform/win32/windows_api.h"

namespace quenmoor::test {
namespace {

template <typename Function>
Function* WineFunction(const char* name) {
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr) {
        return nullptr;
    }
    // GetProcAddress hands back a generic function pointer; the Wine export has this signature.
    return reinterpret_cast<Function*>(  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
        reinterpret_cast<void*>(::GetProcAddress(kernel32, name)));  // NOLINT
}

struct HeapFree {
    void operator()(void* memory) const { ::HeapFree(::GetProcessHeap(), 0, memory); }
};

std::wstring Widen(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

std::optional<std::string> HostPath(const std::filesystem::path& path) {
    const auto toHost = WineFunction<char*(const wchar_t*)>("wine_get_unix_file_name");
    if (toHost == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<char, HeapFree> name(toHost(path.c_str()));
    if (!name) {
        return std::nullopt;
    }
    return std::string(name.get());
}

HostRun RunOnHost(const std::string& program, const std::vector<std::string>& arguments,
                  const std::function<bool()>& done) {
    const auto toWindows = WineFunction<wchar_t*(const char*)>("wine_get_dos_file_name");
    if (toWindows == nullptr) {
        return HostRun::NoHost;
    }
    const std::unique_ptr<wchar_t, HeapFree> image(toWindows(program.c_str()));
    if (!image || ::GetFileAttributesW(image.get()) == INVALID_FILE_ATTRIBUTES) {
        return HostRun::NoHost;
    }
    std::wstring commandLine = L"\"" + Widen(program) + L"\"";
    for (const std::string& argument : arguments) {
        commandLine += L" \"" + Widen(argument) + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(image.get(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         nullptr, &startup, &process) == FALSE) {
        return HostRun::NoHost;
    }
    for (const HANDLE handle : {process.hProcess, process.hThread}) {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return HostRun::TimedOut;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return HostRun::Done;
}

}  // namespace quenmoor::test

#include "side.h"

#include "platform/os.h"

#include <cstdlib>
#include <windows.h>

namespace side {

namespace {
std::wstring utf16(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

bool addAttribute(const std::string& path, DWORD attribute) {
    const std::wstring wide = utf16(path);
    const DWORD now = GetFileAttributesW(wide.c_str());
    return now != INVALID_FILE_ATTRIBUTES && SetFileAttributesW(wide.c_str(), now | attribute) != 0;
}
} // namespace

bool markHidden(const std::string& path) {
    return addAttribute(path, FILE_ATTRIBUTE_HIDDEN);
}

bool markSystem(const std::string& path) {
    return addAttribute(path, FILE_ATTRIBUTE_SYSTEM);
}

unsigned ansiCodePage() {
    return GetACP();
}

// Wine's own library exports its version; Windows' does not.
bool underWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int runHolder(const std::string& what, const std::string& path) {
    const std::wstring program = utf16(platform::executableDir() + "platform_holder.exe");
    std::wstring command = L"\"" + program + L"\" " + utf16(what) + L" \"" + utf16(path) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return ended ? static_cast<int>(code) : -1;
}

void setEnv(const char* name, const char* value) {
    _putenv_s(name, value == nullptr ? "" : value);
}

} // namespace side

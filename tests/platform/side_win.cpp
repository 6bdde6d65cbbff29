#include "side.h"

#include <cstdlib>
#include <windows.h>

namespace side {

namespace {
bool addAttribute(const std::string& path, DWORD attribute) {
    const std::wstring wide = std::filesystem::path(std::u8string(path.begin(), path.end())).wstring();
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

void setEnv(const char* name, const char* value) {
    _putenv_s(name, value == nullptr ? "" : value);
}

} // namespace side

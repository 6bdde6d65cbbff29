#include "platform/os.h"

#include "platform/widepath_win.h"

#include <memory>
#include <windows.h>

namespace platform {

namespace {
std::string withBackslash(std::string path) {
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
    return path;
}

DWORD attributes(const std::string& path) {
    return GetFileAttributesW(widen(path).c_str());
}

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, FindCloser>;
} // namespace

std::string driveC() {
    return "C:\\";
}

std::string executablePath() {
    // Room for the longest path the system has.
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size()) return {};
    buffer.resize(n);
    return narrow(buffer);
}

std::string executableDir() {
    std::string path = executablePath();
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string executableDrive() {
    return driveOf(executablePath());
}

bool fileExists(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool dirExists(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool createDir(const std::string& path) {
    return CreateDirectoryW(widen(path).c_str(), nullptr) != 0;
}

bool deleteFile(const std::string& path) {
    return DeleteFileW(widen(path).c_str()) != 0;
}

// Every entry is matched by our own wildcard rules rather than the system's, whose matching also
// looks at the short 8.3 names.
std::vector<DirEntry> listDir(const std::string& folder, const std::string& mask) {
    std::vector<DirEntry> entries;
    WIN32_FIND_DATAW found{};
    const std::string pattern = (folder.empty() ? std::string() : withBackslash(folder)) + "*";
    HANDLE first =
        FindFirstFileExW(widen(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (first == INVALID_HANDLE_VALUE) return entries;
    FindHandle find(first);
    do {
        const std::string name = narrow(found.cFileName);
        if (name == "." || name == ".." || !wildcardMatch(mask, name)) continue;
        const DWORD a = found.dwFileAttributes;
        entries.push_back({name, (a & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0});
    } while (FindNextFileW(find.get(), &found));
    return entries;
}

OsVersion osVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) return {};
    const int family = info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 1
                       : info.dwPlatformId == VER_PLATFORM_WIN32_NT    ? 2
                                                                       : 0;
    return {family, static_cast<int>(info.dwMajorVersion), static_cast<int>(info.dwMinorVersion)};
}

void sleepMs(int milliseconds) {
    // A negative count would be an unsigned wait of some seven weeks.
    Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}

} // namespace platform

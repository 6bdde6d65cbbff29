#include "platform/os.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {
std::string withSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}
} // namespace

std::string driveC() {
    const char* value = std::getenv("VORTALIS_DRIVE_C");
    if (value == nullptr || *value == '\0') return "/";
    return withSlash(value);
}

std::string executablePath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<size_t>(n));
}

std::string executableDir() {
    std::string path = executablePath();
    return path.substr(0, path.rfind('/') + 1);
}

std::string executableDrive() {
    return driveC();
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool dirExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createDir(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool deleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::vector<DirEntry> listDir(const std::string& folder, const std::string& mask) {
    std::vector<DirEntry> entries;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return entries;
    const std::string prefix = folder.empty() ? std::string() : withSlash(folder);
    while (const dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || !wildcardMatch(mask, name)) continue;
        entries.push_back({name, dirExists(prefix + name), name.front() == '.'});
    }
    ::closedir(dir);
    return entries;
}

OsVersion osVersion() {
    return {};
}

void sleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace platform

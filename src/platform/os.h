#pragma once
// The operating-system side of the platform: paths, files and folders, version, sleep.
// Plain C++ with no Qt, one implementation per platform behind this header (os_posix.cpp,
// os_win.cpp). Paths are UTF-8 text.
#include <string>
#include <vector>

namespace platform {

// The folder that stands for drive C:, with a trailing separator.
std::string driveC();
// The running executable's real path, and its folder with a trailing separator.
std::string executablePath();
std::string executableDir();
// The drive the executable was started from, with a trailing separator: "D:\" or, on a network
// share, "\\server\share\". Where there are no drives, drive C:.
std::string executableDrive();
// The drive part of a path as above; empty when the path has none.
std::string driveOf(const std::string& path);

bool fileExists(const std::string& path);
bool dirExists(const std::string& path);
// Creates one folder; its parent must exist.
bool createDir(const std::string& path);
bool deleteFile(const std::string& path);

struct DirEntry {
    std::string name;
    bool isDir = false;
    // Marked hidden or system on Windows; elsewhere, a name that begins with ".".
    bool isHidden = false;
};
// The entries of a folder whose names match a wildcard mask ("*" any run, "?" one character).
// A missing folder gives no entries; an empty folder path is the working directory.
std::vector<DirEntry> listDir(const std::string& folder, const std::string& mask);
bool wildcardMatch(const std::string& mask, const std::string& name);

struct OsVersion {
    int platformId = 0; // 1: 9x family, 2: NT family, 0: anything else
    int major = 0;
    int minor = 0;
};
OsVersion osVersion();

// A negative time sleeps not at all.
void sleepMs(int milliseconds);

} // namespace platform

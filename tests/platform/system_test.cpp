// The executable's path and drive, drive C:, the version and the sleep.
#include "platform/os.h"
#include "side.h"

#include <gtest/gtest.h>

namespace {
const std::string kBinary = side::kWindows ? "platform_test.exe" : "platform_test";
} // namespace

TEST(System, ExecutablePathFolderAndDrive) {
    const std::string path = platform::executablePath();
    const std::string dir = platform::executableDir();
    EXPECT_TRUE(platform::fileExists(path)) << path;
    EXPECT_EQ(path, dir + kBinary);
    EXPECT_TRUE(platform::dirExists(dir)) << dir;
    EXPECT_EQ(dir.back(), side::kSeparator);
    // Windows takes the drive from the executable's path; elsewhere there is one tree.
    const side::PerSide<std::string> drive{platform::driveC(), path.substr(0, 3)};
    EXPECT_EQ(platform::executableDrive(), drive.here());
}

TEST(System, DriveOfAPath) {
    const struct {
        const char* path;
        const char* drive;
    } cases[] = {
        {"C:\\Vortalis\\Vortalis.exe", "C:\\"},
        {"c:\\Vortalis\\Vortalis.exe", "c:\\"},
        {"D:/Vortalis/Vortalis.exe", "D:\\"},
        {"D:", "D:\\"},
        {"\\\\SRV01\\Nutrava\\Vortalis\\Vortalis.exe", "\\\\SRV01\\Nutrava\\"},
        {"\\\\SRV01\\Nutrava", "\\\\SRV01\\Nutrava\\"},
        {"//SRV01/Nutrava/Vortalis.exe", "\\\\SRV01\\Nutrava\\"},
        {"\\\\SRV01", ""},
        {"\\\\SRV01\\", ""},
        {"\\\\\\Nutrava", ""},
        {"\\Vortalis\\Vortalis.exe", ""},
        {"/usr/lib/vortalis/vortalis", ""},
        {"Vortalis.exe", ""},
        {"1:\\x", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(platform::driveOf(c.path), c.drive);
    }
}

TEST(System, DriveC) {
    const struct {
        const char* name;
        const char* variable;
        side::PerSide<std::string> drive;
    } cases[] = {
        {"no variable", nullptr, {"/", "C:\\"}},
        {"an empty variable", "", {"/", "C:\\"}},
        {"a folder", "/tmp/site", {"/tmp/site/", "C:\\"}},
        {"a folder with its separator", "/tmp/site/", {"/tmp/site/", "C:\\"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        side::setEnv("VORTALIS_DRIVE_C", c.variable);
        EXPECT_EQ(platform::driveC(), c.drive.here());
    }
    side::setEnv("VORTALIS_DRIVE_C", nullptr);
}

// Without a manifest that names newer versions, Windows reports 6.2 from 8 on; Wine reports 6.1,
// which the program's version label reads as "7". Elsewhere there is no version at all.
TEST(System, Version) {
    const platform::OsVersion v = platform::osVersion();
    if (!side::kWindows) {
        EXPECT_EQ(v.platformId, 0);
        EXPECT_EQ(v.major, 0);
        EXPECT_EQ(v.minor, 0);
    } else if (side::underWine()) {
        EXPECT_EQ(v.platformId, 2);
        EXPECT_EQ(v.major, 6);
        EXPECT_EQ(v.minor, 1);
    } else {
        EXPECT_EQ(v.platformId, 2);
        EXPECT_GE(v.major, 6);
    }
}

// A count of no time returns; a negative one must not turn into a wait of weeks.
TEST(System, SleepReturns) {
    for (int ms : {1, 0, -1, -1000})
        platform::sleepMs(ms);
}

// Files and folders: existence, one folder made, files removed, and the enumeration by mask
// that clears the error markers.
#include "platform/os.h"
#include "platform/textfile.h"
#include "side.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace {
struct Expected {
    bool isDir;
    bool isHidden;
};
bool operator==(const Expected& a, const Expected& b) {
    return a.isDir == b.isDir && a.isHidden == b.isHidden;
}
void PrintTo(const Expected& e, std::ostream* out) {
    *out << (e.isDir ? "folder" : "file") << (e.isHidden ? ", hidden" : "");
}

// What listDir gives, by name.
std::map<std::string, Expected> listed(const std::string& folder, const std::string& mask) {
    std::map<std::string, Expected> byName;
    for (const platform::DirEntry& e : platform::listDir(folder, mask))
        byName[e.name] = {e.isDir, e.isHidden};
    return byName;
}
} // namespace

TEST(Folders, ExistenceOfFilesAndFolders) {
    side::WorkFolder work;
    work.write("file.txt", "x");
    work.makeFolder("Log");
    const struct {
        std::string path;
        bool file, dir;
    } cases[] = {
        {work.path("file.txt"), true, false},
        {work.path("Log"), false, true},
        {work.path("Log") + side::kSeparator, false, true},
        {work.path("Log") + '/', false, true},
        {work.path("missing"), false, false},
        {work.path("missing") + side::kSeparator + "file.txt", false, false},
        {work.path("FILE.TXT"), side::kWindows, false}, // names ignore case on Windows only
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(platform::fileExists(c.path), c.file);
        EXPECT_EQ(platform::dirExists(c.path), c.dir);
    }
}

TEST(Folders, CreatesOneFolderAndRemovesFiles) {
    side::WorkFolder work;
    EXPECT_TRUE(platform::createDir(work.path("ControleCatraca")));
    EXPECT_TRUE(platform::dirExists(work.path("ControleCatraca")));
    EXPECT_FALSE(platform::createDir(work.path("ControleCatraca")));            // already there
    EXPECT_FALSE(platform::createDir(work.path("a") + side::kSeparator + "b")); // parent missing
    EXPECT_FALSE(platform::dirExists(work.path("a")));

    work.write("00001.error", "x");
    EXPECT_TRUE(platform::deleteFile(work.path("00001.error")));
    EXPECT_FALSE(platform::fileExists(work.path("00001.error")));
    EXPECT_FALSE(platform::deleteFile(work.path("00001.error")));
    EXPECT_FALSE(platform::deleteFile(work.path("ControleCatraca"))); // a folder is no file
    EXPECT_TRUE(platform::dirExists(work.path("ControleCatraca")));
}

TEST(Folders, NamesOutsideAsciiAreUtf8) {
    side::WorkFolder work;
    const std::string folder = work.path("Configurações");
    ASSERT_TRUE(platform::createDir(folder));
    const std::string file = folder + side::kSeparator + "Ação.error";
    ASSERT_TRUE(platform::writeWholeFile(file, "x"));
    EXPECT_TRUE(platform::fileExists(file));
    EXPECT_EQ(listed(folder, "*.error"), (std::map<std::string, Expected>{{"Ação.error", {false, false}}}));
    EXPECT_TRUE(platform::deleteFile(file));
}

// The marker folder as start-up finds it, enumerated with the mask that clears it.
TEST(Folders, EnumerationByMaskWithHiddenAndSystemEntries) {
    side::WorkFolder work;
    for (const char* name : {"00001.error", "335544721.error", "x.error.old", "UPPER.ERROR", "keep.txt",
                             "error", ".hidden.error", "attribute-hidden.error", "system.error"})
        work.write(name, "x");
    work.makeFolder("folder.error");
    ASSERT_EQ(side::markHidden(work.path("attribute-hidden.error")), side::kWindows);
    ASSERT_EQ(side::markSystem(work.path("system.error")), side::kWindows);

    std::map<std::string, Expected> expected{
        {"00001.error", {false, false}},   {"335544721.error", {false, false}},
        {"x.error.old", {false, false}},   {"UPPER.ERROR", {false, false}},
        {".hidden.error", {false, false}}, {"attribute-hidden.error", {false, false}},
        {"system.error", {false, false}},  {"folder.error", {true, false}},
    };
    // Hidden by a leading dot on one side, by the attributes on the other.
    const side::PerSide<std::vector<std::string>> hidden{{".hidden.error"},
                                                         {"attribute-hidden.error", "system.error"}};
    for (const std::string& name : hidden.here())
        expected[name].isHidden = true;
    EXPECT_EQ(listed(work.path(), "*.error*"), expected);
    // The folder named with or without its trailing separator.
    EXPECT_EQ(listed(work.path() + side::kSeparator, "*.error*"), expected);
}

TEST(Folders, MasksAndMissingFolders) {
    side::WorkFolder work;
    for (const char* name : {"00001.error", "00002.error", "10061.error", "a.b", "ab"})
        work.write(name, "x");
    const struct {
        const char* mask;
        std::vector<std::string> names;
    } cases[] = {
        {"0000?.error", {"00001.error", "00002.error"}},
        {"*", {"00001.error", "00002.error", "10061.error", "a.b", "ab"}},
        {"a*", {"a.b", "ab"}},
        {"*.B", {"a.b"}},
        {"?b", {"ab"}},
        {"*1*.ERROR", {"00001.error", "10061.error"}},
        {"nothing*", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        std::vector<std::string> names;
        for (const platform::DirEntry& e : platform::listDir(work.path(), c.mask))
            names.push_back(e.name);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names);
    }
    EXPECT_TRUE(platform::listDir(work.path("missing"), "*").empty());
    EXPECT_TRUE(platform::listDir(work.path("ab"), "*").empty()); // a file, not a folder
}

TEST(Folders, AnEmptyFolderPathIsTheWorkingDirectory) {
    side::WorkFolder work;
    work.makeFolder("sub.error");
    work.write("00001.error", "x");
    side::WorkingDirectory inside(work.root());
    EXPECT_EQ(listed("", "*.error"), (std::map<std::string, Expected>{{"00001.error", {false, false}},
                                                                      {"sub.error", {true, false}}}));
}

TEST(Folders, WildcardMatching) {
    const struct {
        const char* mask;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.error*", "00001.error", true},
        {"*.error*", "x.error.old", true},
        {"*.error*", "error", false},
        {"*.ERROR*", "a.error", true},
        {"?", "", false},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"**a", "ba", true},
        {"*a*b", "xaybzb", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mask) + " / " + c.name);
        EXPECT_EQ(platform::wildcardMatch(c.mask, c.name), c.matches);
    }
}

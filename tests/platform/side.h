#pragma once
// What the platform tests need of the side they run on: the expectations of a case where the
// two sides deliberately differ, the attributes that only Windows has, and a throwaway folder.
// Plain C++: the same tests are built for Linux and, cross-compiled, for Windows.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace side {

#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// An expectation that differs between the sides on purpose.
template <typename T> struct PerSide {
    T posix;
    T windows;
    const T& here() const { return kWindows ? windows : posix; }
};

// The separator that the platform's own paths end with.
inline constexpr char kSeparator = kWindows ? '\\' : '/';

// Marks a file hidden or system where the platform has such attributes; false where it has not.
bool markHidden(const std::string& path);
bool markSystem(const std::string& path);

// The code page that text files are written in: the ANSI code page on Windows, which the tests
// need to be 1252 as on the venues' terminals.
unsigned ansiCodePage();

// Whether the tests run under Wine rather than on a real Windows.
bool underWine();

// The holder (holder.cpp) beside the test binary, running as a process of its own; killed when
// the object goes while it still runs.
class Holder {
public:
    // Starts "platform_holder WHAT ARGUMENT".
    Holder(const std::string& what, const std::string& argument);
    ~Holder();
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool started() const;
    unsigned long id() const { return id_; }
    // Its exit code once it has ended; -1 when it could not be run, or did not end within a
    // minute (it is killed then).
    int wait();

private:
    std::intptr_t process_ = -1;
    unsigned long id_ = 0;
};

// Runs the holder and waits for its exit code.
int runHolder(const std::string& what, const std::string& argument);

// The ways the side's system asks a program to end, as a running holder receives them.
struct TerminationRequest {
    const char* name;
    // False when it could not be delivered.
    bool (*deliver)(const Holder& holder);
    // False for a session's end that another program called off: nothing is asked then.
    bool closes;
};
std::vector<TerminationRequest> terminationRequests();

// Sets or, with nullptr, removes an environment variable.
void setEnv(const char* name, const char* value);

// A fresh folder of its own for each test, removed with everything in it afterwards. Paths in
// and out are UTF-8, as the platform's.
class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // The folder, or a name inside it, with the side's separator.
    std::string path(std::string_view name = {}) const;
    void write(std::string_view name, std::string_view bytes) const;
    // The whole content; what a reader sees while a writer may hold the file.
    std::string read(std::string_view name) const;
    void makeFolder(std::string_view name) const;

    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

// Makes a folder the working directory for as long as it lives.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

} // namespace side

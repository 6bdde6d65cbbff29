#include "side.h"

#include "platform/os.h"

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace side {

// Hidden is a name that begins with "."; there are no attributes to set.
bool markHidden(const std::string&) {
    return false;
}

bool markSystem(const std::string&) {
    return false;
}

// Text files are always written in Windows-1252 here.
unsigned ansiCodePage() {
    return 1252;
}

bool underWine() {
    return false;
}

int runHolder(const std::string& what, const std::string& path) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        const std::string program = platform::executableDir() + "platform_holder";
        ::execl(program.c_str(), program.c_str(), what.c_str(), path.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

void setEnv(const char* name, const char* value) {
    if (value == nullptr)
        ::unsetenv(name);
    else
        ::setenv(name, value, 1);
}

} // namespace side

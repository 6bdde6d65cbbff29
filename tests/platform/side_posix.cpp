#include "side.h"

#include "platform/os.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
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

Holder::Holder(const std::string& what, const std::string& argument) {
    const std::string program = platform::executableDir() + "platform_holder";
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        ::execl(program.c_str(), program.c_str(), what.c_str(), argument.c_str(), nullptr);
        ::_exit(127);
    }
    process_ = child;
    id_ = static_cast<unsigned long>(child);
}

Holder::~Holder() {
    if (process_ < 0) return;
    ::kill(static_cast<pid_t>(process_), SIGKILL);
    ::waitpid(static_cast<pid_t>(process_), nullptr, 0);
}

bool Holder::started() const {
    return process_ >= 0;
}

int Holder::wait() {
    if (process_ < 0) return -1;
    const auto pid = static_cast<pid_t>(process_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (ended == 0) return -1; // killed by the destructor
    process_ = -1;
    return ended == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {
template <int Signal> bool sendSignal(const Holder& holder) {
    return ::kill(static_cast<pid_t>(holder.id()), Signal) == 0;
}
} // namespace

std::vector<TerminationRequest> terminationRequests() {
    return {{"SIGTERM", sendSignal<SIGTERM>, true},
            {"SIGINT", sendSignal<SIGINT>, true},
            {"SIGHUP", sendSignal<SIGHUP>, true}};
}

void setEnv(const char* name, const char* value) {
    if (value == nullptr)
        ::unsetenv(name);
    else
        ::setenv(name, value, 1);
}

} // namespace side

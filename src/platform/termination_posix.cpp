// Termination requests on POSIX: SIGTERM, SIGINT and SIGHUP stay blocked in every thread and are
// read from a signalfd, which is also what any thread polls to know that one has arrived.
#include "platform/termination.h"

#include "platform/os.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {
std::atomic<int> handle{-1};
std::atomic<bool> taken{false};

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&set, sig);
    return set;
}

// True when a request waits on the handle within the given time.
bool waiting(int fd, int milliseconds) {
    pollfd entry{fd, POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const int result = ::poll(&entry, 1, milliseconds);
        if (result >= 0) return result > 0;
        if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "poll");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        milliseconds = std::max(0, static_cast<int>(left.count()));
    }
}
} // namespace

void holdTerminationRequests() {
    const sigset_t set = terminationSignals();
    if (int error = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0)
        throw std::system_error(error, std::generic_category(), "pthread_sigmask");
    if (handle >= 0) return;
    const int fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "signalfd");
    handle = fd;
}

TerminationHandle terminationHandle() {
    return handle;
}

bool takeTerminationRequest() {
    const int fd = handle;
    if (fd < 0) return false;
    signalfd_siginfo info;
    if (::read(fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return false;
    taken = true;
    return true;
}

bool terminationRequested() {
    if (taken) return true;
    const int fd = handle;
    return fd >= 0 && waiting(fd, 0);
}

bool waitForTermination(int milliseconds) {
    const int fd = handle;
    if (fd < 0) {
        sleepMs(milliseconds);
        return taken;
    }
    return taken || waiting(fd, std::max(0, milliseconds));
}

} // namespace platform

#include "platform/tcpprobe.h"

#include "platform/termination.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(50);

struct Attempt {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    TcpReach result = TcpReach::TimedOut;
};

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return std::max(0, static_cast<int>(left.count()));
}

// One address: 0 when it connected, otherwise the error (ETIMEDOUT when the time ran out).
int connectOne(const addrinfo& address, Clock::time_point deadline) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0) return errno;
    int error = 0;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd entry{fd, POLLOUT, 0};
            int ready;
            do
                ready = ::poll(&entry, 1, millisecondsUntil(deadline));
            while (ready < 0 && errno == EINTR);
            socklen_t size = sizeof error;
            if (ready <= 0)
                error = ETIMEDOUT;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
    }
    ::close(fd);
    return error;
}

// Runs on a thread of its own: name resolution has no timeout of its own.
TcpReach attempt(const std::string& host, const std::string& port, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (resolved == EAI_AGAIN) return TcpReach::TimedOut;
    if (resolved != 0) return TcpReach::Unresolved;
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    TcpReach result = TcpReach::Refused;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int error = connectOne(*a, deadline);
        if (error == 0) return TcpReach::Reached;
        if (error == ETIMEDOUT) result = TcpReach::TimedOut;
        if (Clock::now() >= deadline) break;
    }
    return result;
}
} // namespace

TcpReach reachTcp(const std::string& host, const std::string& port, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // A thread still stuck in the name service when the time is up is left to end on its own;
    // it touches nothing but its own attempt.
    auto shared = std::make_shared<Attempt>();
    std::thread([shared, host, port, deadline] {
        const TcpReach result = attempt(host, port, deadline);
        const std::lock_guard lock(shared->mutex);
        shared->result = result;
        shared->finished = true;
        shared->done.notify_all();
    }).detach();

    std::unique_lock lock(shared->mutex);
    while (!shared->finished) {
        if (terminationRequested()) return TcpReach::Interrupted;
        if (Clock::now() >= deadline) return TcpReach::TimedOut;
        shared->done.wait_for(lock, kTick);
    }
    return shared->result;
}

} // namespace platform

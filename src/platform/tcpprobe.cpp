// The reachability probe, on the platform's TCP socket.
#include "platform/tcpprobe.h"

#include "platform/tcpsocket.h"
#include "platform/termination.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

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

// One address: Reached, TimedOut when the time ran out, Refused for any other end.
TcpReach connectOne(const Endpoint& address, Clock::time_point deadline) {
    TcpSocket socket;
    if (socket.open(address) != 0) return TcpReach::Refused;
    int error = socket.connect(address);
    if (error == winsock::kWouldBlock) {
        if (!socket.waitUntil(Readiness::Writable, millisecondsUntil(deadline))) return TcpReach::TimedOut;
        error = socket.pendingError();
    }
    return error == 0 ? TcpReach::Reached : TcpReach::Refused;
}

// Runs on a thread of its own: name resolution has no timeout of its own.
TcpReach attempt(const std::string& host, const std::string& port, Clock::time_point deadline) {
    const Resolved found = resolveTcp(host, port);
    if (found.error == winsock::kTryAgain) return TcpReach::TimedOut;
    if (found.error != 0) return TcpReach::Unresolved;
    TcpReach result = TcpReach::Refused;
    for (const Endpoint& address : found.endpoints) {
        const TcpReach reach = connectOne(address, deadline);
        if (reach == TcpReach::Reached) return reach;
        if (reach == TcpReach::TimedOut) result = reach;
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

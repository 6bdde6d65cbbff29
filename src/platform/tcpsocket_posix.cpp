// The TCP client socket on POSIX sockets, errno mapped to the Winsock numbers.
#include "platform/tcpsocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/tcpsocket_addresses.h"

namespace winsock {
int fromSystemError(int error) {
    switch (error) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINPROGRESS:
    case EALREADY:
        return kWouldBlock;
    case ECONNREFUSED:
        return kRefused;
    case ECONNRESET:
    case EPIPE:
        return kConnectionReset;
    case ETIMEDOUT:
        return kTimedOut;
    case ENETUNREACH:
    case EHOSTUNREACH:
        return kHostUnreachable;
    case EACCES:
    case EPERM:
        return kAccess;
    case ENOBUFS:
    case ENOMEM:
        return kNoBuffers;
    case EMFILE:
    case ENFILE:
        return kTooManySockets;
    case EADDRINUSE:
        return kAddressInUse;
    case EADDRNOTAVAIL:
        return kAddressNotAvailable;
    case ECONNABORTED:
        return kConnectionAborted;
    case ENOTCONN:
        return kNotConnected;
    default:
        return kNetworkDown;
    }
}
} // namespace winsock

namespace platform {

namespace {
// The same for a connection attempt. A host of the local network that does not answer the
// address resolution (a switched-off controller) fails here as unreachable; Windows reports it
// as a timed-out attempt, 10060, and so does this.
int fromConnectError(int error) {
    return error == EHOSTUNREACH ? winsock::kTimedOut : winsock::fromSystemError(error);
}

int descriptor(SocketHandle handle) {
    return static_cast<int>(handle);
}

// A receive or a send, repeated when a signal interrupts it.
template <typename Call> Transfer transfer(Call call) {
    for (;;) {
        const ssize_t n = call();
        if (n >= 0) return {static_cast<int>(n), 0};
        if (errno != EINTR) return {0, winsock::fromSystemError(errno)};
    }
}
} // namespace

Endpoint ipv4Endpoint(std::uint32_t address, std::uint16_t port) {
    return ipv4EndpointOf<sockaddr_in>(address, port);
}

Resolved resolveTcp(const std::string& host, const std::string& port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (error == EAI_AGAIN) return {winsock::kTryAgain, {}};
    if (error == EAI_SYSTEM) return {winsock::fromSystemError(errno), {}};
    if (error != 0) return {winsock::kHostNotFound, {}};
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
    return resolvedFrom(found);
}

int TcpSocket::open(const Endpoint& to) {
    close();
    const int fd = ::socket(to.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return winsock::fromSystemError(errno);
    handle_ = fd;
    return 0;
}

int TcpSocket::connect(const Endpoint& to) {
    const auto* address = reinterpret_cast<const sockaddr*>(to.address.data());
    if (::connect(descriptor(handle_), address, static_cast<socklen_t>(to.address.size())) == 0) return 0;
    // Interrupted, the attempt goes on as if it had been started without a wait.
    return errno == EINTR ? winsock::kWouldBlock : fromConnectError(errno);
}

int TcpSocket::pendingError() const {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(descriptor(handle_), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) return fromConnectError(error);
    // No error yet: connected, or still trying.
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(descriptor(handle_), reinterpret_cast<sockaddr*>(&peer), &size) == 0) return 0;
    return errno == ENOTCONN ? winsock::kWouldBlock : fromConnectError(errno);
}

int TcpSocket::bytesWaiting() const {
    int waiting = 0;
    return ::ioctl(descriptor(handle_), FIONREAD, &waiting) == 0 ? waiting : 0;
}

Transfer TcpSocket::receive(void* buffer, int count) {
    return transfer(
        [&] { return ::recv(descriptor(handle_), buffer, static_cast<size_t>(std::max(count, 0)), 0); });
}

Transfer TcpSocket::peek() {
    char byte;
    return transfer([&] { return ::recv(descriptor(handle_), &byte, 1, MSG_PEEK); });
}

Transfer TcpSocket::send(const void* buffer, int count) {
    return transfer([&] {
        return ::send(descriptor(handle_), buffer, static_cast<size_t>(std::max(count, 0)), MSG_NOSIGNAL);
    });
}

bool TcpSocket::waitUntil(Readiness readiness, int milliseconds) const {
    pollfd entry{descriptor(handle_), static_cast<short>(readiness == Readiness::Readable ? POLLIN : POLLOUT),
                 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const int ready = ::poll(&entry, 1, std::max(milliseconds, 0));
        if (ready >= 0) return ready > 0;
        if (errno != EINTR) return true;
        milliseconds = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
    }
}

int TcpSocket::close() {
    if (handle_ == kNoSocket) return 0;
    const int fd = descriptor(handle_);
    handle_ = kNoSocket;
    // The descriptor is released even when close reports an error; it is never closed twice.
    return ::close(fd) == 0 || errno == EINTR ? 0 : winsock::fromSystemError(errno);
}

} // namespace platform

// The TCP client socket on Winsock, whose error numbers are the ones the program reports.
#include "platform/tcpsocket.h"

#include "platform/widepath_win.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/tcpsocket_addresses.h"

static_assert(static_cast<platform::SocketHandle>(INVALID_SOCKET) == platform::kNoSocket);

namespace winsock {
int fromSystemError(int error) {
    switch (error) {
    case WSAEINPROGRESS:
    case WSAEALREADY:
        return kWouldBlock;
    default:
        // Winsock's own numbers run from WSABASEERR (10000) to 11999; anything else has no equal.
        return error >= WSABASEERR && error < WSABASEERR + 2000 ? error : kNetworkDown;
    }
}
} // namespace winsock

namespace platform {

namespace {
// Winsock is started on first use, once, and stays started for the life of the process; 0 or
// the error that kept it from starting.
int winsockStarted() {
    static const int error = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return error == 0 ? 0 : winsock::fromSystemError(error);
}

SOCKET socketOf(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

int lastError() {
    return winsock::fromSystemError(WSAGetLastError());
}

Transfer transfer(int result) {
    return result == SOCKET_ERROR ? Transfer{0, lastError()} : Transfer{result, 0};
}

struct AddressesFree {
    void operator()(ADDRINFOW* addresses) const { FreeAddrInfoW(addresses); }
};
} // namespace

Endpoint ipv4Endpoint(std::uint32_t address, std::uint16_t port) {
    return ipv4EndpointOf<sockaddr_in>(address, port);
}

Resolved resolveTcp(const std::string& host, const std::string& port) {
    if (const int error = winsockStarted(); error != 0) return {error, {}};
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    // Its result is the Winsock number itself.
    const int error = GetAddrInfoW(widen(host).c_str(), widen(port).c_str(), &hints, &found);
    if (error != 0) return {winsock::fromSystemError(error), {}};
    const std::unique_ptr<ADDRINFOW, AddressesFree> owner(found);
    return resolvedFrom(found);
}

int TcpSocket::open(const Endpoint& to) {
    close();
    if (const int error = winsockStarted(); error != 0) return error;
    // Not inherited by processes the program starts, as the descriptors on POSIX.
    const SOCKET s = WSASocketW(to.family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) return lastError();
    handle_ = static_cast<SocketHandle>(s);
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        const int error = lastError();
        close();
        return error;
    }
    return 0;
}

int TcpSocket::connect(const Endpoint& to) {
    const auto* address = reinterpret_cast<const sockaddr*>(to.address.data());
    if (::connect(socketOf(handle_), address, static_cast<int>(to.address.size())) == 0) return 0;
    // A switched-off host of the local network is already a timed-out attempt (10060) here.
    return lastError();
}

int TcpSocket::pendingError() const {
    int error = 0;
    int length = sizeof error;
    if (getsockopt(socketOf(handle_), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return lastError();
    if (error != 0) return winsock::fromSystemError(error);
    // No error yet: connected, or still trying.
    sockaddr_storage peer{};
    int size = sizeof peer;
    if (getpeername(socketOf(handle_), reinterpret_cast<sockaddr*>(&peer), &size) == 0) return 0;
    const int failure = WSAGetLastError();
    return failure == WSAENOTCONN ? winsock::kWouldBlock : winsock::fromSystemError(failure);
}

int TcpSocket::bytesWaiting() const {
    u_long waiting = 0;
    if (ioctlsocket(socketOf(handle_), FIONREAD, &waiting) != 0) return 0;
    return static_cast<int>(std::min<u_long>(waiting, INT_MAX));
}

Transfer TcpSocket::receive(void* buffer, int count) {
    return transfer(recv(socketOf(handle_), static_cast<char*>(buffer), std::max(count, 0), 0));
}

Transfer TcpSocket::peek() {
    char byte;
    return transfer(recv(socketOf(handle_), &byte, 1, MSG_PEEK));
}

Transfer TcpSocket::send(const void* buffer, int count) {
    return transfer(::send(socketOf(handle_), static_cast<const char*>(buffer), std::max(count, 0), 0));
}

bool TcpSocket::waitUntil(Readiness readiness, int milliseconds) const {
    const SOCKET s = socketOf(handle_);
    fd_set wanted;
    FD_ZERO(&wanted);
    FD_SET(s, &wanted);
    // A connection attempt that fails shows among the exceptions, not as writable.
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    milliseconds = std::max(milliseconds, 0);
    timeval bound{milliseconds / 1000, (milliseconds % 1000) * 1000};
    const bool readable = readiness == Readiness::Readable;
    const int ready = select(0, readable ? &wanted : nullptr, readable ? nullptr : &wanted,
                             readable ? nullptr : &failed, &bound);
    return ready != 0;
}

int TcpSocket::close() {
    if (handle_ == kNoSocket) return 0;
    const SOCKET s = socketOf(handle_);
    handle_ = kNoSocket;
    return closesocket(s) == 0 ? 0 : lastError();
}

} // namespace platform

#include "peer.h"

#include <stdexcept>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace peer {

namespace {
#ifdef _WIN32
using Handle = SOCKET;
constexpr Handle kNone = INVALID_SOCKET;
constexpr int kNoSignal = 0;

void closeHandle(Handle handle) {
    closesocket(handle);
}

void startSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) throw std::runtime_error("WSAStartup");
}
#else
using Handle = int;
constexpr Handle kNone = -1;
constexpr int kNoSignal = MSG_NOSIGNAL;

void closeHandle(Handle handle) {
    ::close(handle);
}

void startSockets() {}
#endif

Handle handleOf(std::intptr_t value) {
    return static_cast<Handle>(value);
}

bool readable(Handle handle) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(handle, &set);
    timeval bound{kBound / 1000, 0};
    return select(static_cast<int>(handle) + 1, &set, nullptr, nullptr, &bound) > 0;
}
} // namespace

Connection::~Connection() {
    if (handleOf(handle_) != kNone) closeHandle(handleOf(handle_));
}

bool Connection::sendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const int n = static_cast<int>(
            send(handleOf(handle_), bytes.data(), static_cast<int>(bytes.size()), kNoSignal));
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string Connection::receive(std::size_t count) {
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < count && readable(handleOf(handle_))) {
        const std::size_t wanted = std::min(sizeof buffer, count - bytes.size());
        const int n = static_cast<int>(recv(handleOf(handle_), buffer, static_cast<int>(wanted), 0));
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

void Connection::reset() {
    const linger abort{1, 0};
    setsockopt(handleOf(handle_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    closeHandle(handleOf(handle_));
    handle_ = static_cast<std::intptr_t>(kNone);
}

Listener::Listener(int backlog) {
    startSockets();
    const Handle handle = socket(AF_INET, SOCK_STREAM, 0);
    if (handle == kNone) throw std::runtime_error("socket");
    handle_ = static_cast<std::intptr_t>(handle);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(handle, reinterpret_cast<const sockaddr*>(&address), size) != 0 ||
        getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        (backlog >= 0 && listen(handle, backlog) != 0)) {
        closeHandle(handle);
        throw std::runtime_error("no loopback port to listen on");
    }
    port_ = ntohs(address.sin_port);
}

Listener::~Listener() {
    closeHandle(handleOf(handle_));
}

std::unique_ptr<Connection> Listener::accept() {
    if (!readable(handleOf(handle_))) return nullptr;
    const Handle accepted = ::accept(handleOf(handle_), nullptr, nullptr);
    if (accepted == kNone) return nullptr;
    return std::make_unique<Connection>(static_cast<std::intptr_t>(accepted));
}

} // namespace peer

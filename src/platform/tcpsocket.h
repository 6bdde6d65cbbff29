#pragma once
// A TCP client socket on the operating system's own calls: a non-blocking connect and its
// outcome, the bytes waiting, receive, send, close. Every error is a Winsock number, the system's
// own on Windows and mapped from errno elsewhere, and never 0. Plain C++ with no Qt, one
// implementation per platform behind this header (tcpsocket_posix.cpp, tcpsocket_win.cpp).
#include <cstdint>
#include <string>
#include <vector>

// Winsock numbers of the errors the turnstile links and the probe of the database server meet.
namespace winsock {
inline constexpr int kAccess = 10013;
inline constexpr int kTooManySockets = 10024;
// Nothing can move now; for a connect, the attempt goes on.
inline constexpr int kWouldBlock = 10035;
inline constexpr int kAddressInUse = 10048;
inline constexpr int kAddressNotAvailable = 10049;
// Also the number of any error that has no Winsock equal.
inline constexpr int kNetworkDown = 10050;
inline constexpr int kConnectionAborted = 10053;
inline constexpr int kConnectionReset = 10054;
inline constexpr int kNoBuffers = 10055;
inline constexpr int kNotConnected = 10057;
inline constexpr int kTimedOut = 10060;
inline constexpr int kRefused = 10061;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kHostNotFound = 11001;
// The name service did not answer now.
inline constexpr int kTryAgain = 11002;

// The Winsock number of an error of the system's sockets (errno on POSIX, the error itself on
// Windows); never 0.
int fromSystemError(int error);
} // namespace winsock

namespace platform {

// A socket as the system hands it out (a descriptor on POSIX, a SOCKET on Windows); it fits the
// integer that Qt's socket notifier takes on either.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// An address to connect to, in the system's own form.
struct Endpoint {
    int family = 0;
    std::vector<unsigned char> address;
};

// An IPv4 address and a port, both in host byte order.
Endpoint ipv4Endpoint(std::uint32_t address, std::uint16_t port);

// The addresses of a host and a port (a number or a service name) for a TCP connection, in the
// order the name service gives them; error is 0 or a Winsock number such as kHostNotFound or
// kTryAgain.
struct Resolved {
    int error = 0;
    std::vector<Endpoint> endpoints;
};
Resolved resolveTcp(const std::string& host, const std::string& port);

// What a receive or a send did: bytes moved, and 0, kWouldBlock or the error that stopped it. A
// receive of no bytes without an error means the peer closed in order.
struct Transfer {
    int bytes = 0;
    int error = 0;
};

// Readable: bytes, an orderly close or an error wait to be read. Writable: there is room to send,
// or a connection attempt has ended, either way.
enum class Readiness { Readable, Writable };

// One socket, closed when the object goes.
class TcpSocket {
public:
    TcpSocket() = default;
    ~TcpSocket() { close(); }
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // A new non-blocking socket for the endpoint's family, in place of the one held; 0 or the
    // error.
    int open(const Endpoint& to);
    bool isOpen() const { return handle_ != kNoSocket; }
    SocketHandle handle() const { return handle_; }

    // Starts a connection attempt: 0 when it is made at once, kWouldBlock while it goes on (the
    // socket becomes writable when it ends), otherwise the error.
    int connect(const Endpoint& to);
    // Once the socket became writable during an attempt: 0 when it is connected, kWouldBlock
    // while it still goes on, otherwise the error that ended it.
    int pendingError() const;
    // The bytes a receive can take now; 0 when there are none or the question fails, which the
    // next receive then reports.
    int bytesWaiting() const;
    // Takes up to count bytes.
    Transfer receive(void* buffer, int count);
    // The next byte without taking it: what a read notification with no bytes waiting means.
    Transfer peek();
    // Hands up to count bytes to the system. A peer that has gone is an error, never a signal.
    Transfer send(const void* buffer, int count);
    // Waits up to the given time; true when the socket is ready. A failure of the wait itself
    // counts as ready, so that the next call reports it.
    bool waitUntil(Readiness readiness, int milliseconds) const;
    // Closes the socket, abandoning an attempt that goes on; 0 or the error. The handle is given
    // back either way.
    int close();

private:
    SocketHandle handle_ = kNoSocket;
};

} // namespace platform

#pragma once
// The other end of the socket cases, on 127.0.0.1 only: a listener and the connections it
// accepts, on plain blocking calls of the side's own sockets rather than on the socket under
// test. Every wait is bounded, so a case that goes wrong fails instead of hanging.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace peer {

// The most any wait for the socket under test lasts, in milliseconds.
inline constexpr int kBound = 10000;

// An accepted connection, closed in order when it goes unless reset first.
class Connection {
public:
    explicit Connection(std::intptr_t handle) : handle_(handle) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool sendAll(std::string_view bytes);
    // Reads until count bytes have come, the connection ends or the bound runs out.
    std::string receive(std::size_t count);
    // Closes with a reset instead of an orderly close.
    void reset();

private:
    std::intptr_t handle_;
};

// A backlog that makes a listener no listener: bound to its port, which refuses connections.
inline constexpr int kNotListening = -1;

// A socket bound to a free port of 127.0.0.1, listening with the given backlog.
class Listener {
public:
    explicit Listener(int backlog = 8);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::uint16_t port() const { return port_; }
    // The next connection; null when none came within the bound.
    std::unique_ptr<Connection> accept();

private:
    std::intptr_t handle_;
    std::uint16_t port_ = 0;
};

} // namespace peer

#pragma once
// Whether a TCP server can be reached, within a bound: name resolution and connection attempt
// together. The database client connects with a blocking call that, to a host that drops
// connection attempts, waits minutes before its own timeout starts; this probe runs first and
// gives up on time. Plain C++ with no Qt, one implementation per platform behind this header.
#include <string>

namespace platform {

enum class TcpReach {
    Reached,     // a connection was made (and closed again)
    Refused,     // every address refused or was unreachable at once
    Unresolved,  // the name has no address
    TimedOut,    // nothing answered within the bound
    Interrupted, // a termination request arrived while waiting
};

// Tries host and port (a number or a service name), every address of the name in turn.
TcpReach reachTcp(const std::string& host, const std::string& port, int timeoutMs);

} // namespace platform

#pragma once
// The TCP server that a database name reaches, in the client's classic forms: "host:path",
// "host/port:path" (a port number or a service name) and "[IPv6 address]/port:path".
#include <QString>
#include <optional>
#include <string>

namespace db {

struct ServerAddress {
    std::string host;
    std::string port;
};

// The client's own port when the name gives none.
inline constexpr const char* kDefaultPort = "3050";

// None for a local path ("/path", "C:\path", ":\path") and for the URL forms ("inet://...").
std::optional<ServerAddress> tcpServer(const QString& databaseName);

} // namespace db

#pragma once
// What both sides of the socket do alike with the system's address structures, which each side's
// own headers declare: include it after them. The structures are only read through their fields.
#include "platform/tcpsocket.h"

#include <cstdint>

namespace platform {

// An address structure's bytes as an endpoint.
template <typename Address> Endpoint endpointOf(int family, const Address* address, std::size_t size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(address);
    return {family, {bytes, bytes + size}};
}

// An IPv4 address and a port in host byte order, as the system's sockaddr_in.
template <typename SockaddrIn> Endpoint ipv4EndpointOf(std::uint32_t address, std::uint16_t port) {
    SockaddrIn in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    in.sin_addr.s_addr = htonl(address);
    return endpointOf(AF_INET, &in, sizeof in);
}

// Every address of a name-service answer, in its order.
template <typename AddressInfo> Resolved resolvedFrom(const AddressInfo* first) {
    Resolved resolved;
    for (const AddressInfo* a = first; a != nullptr; a = a->ai_next)
        resolved.endpoints.push_back(endpointOf(a->ai_family, a->ai_addr, a->ai_addrlen));
    return resolved;
}

} // namespace platform

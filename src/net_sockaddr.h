// The layer's endpoint as the socket address both Winsock and POSIX take:
// shared by the two layer implementations, and by them alone.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

#include "net.h"

namespace net {

inline sockaddr_in to_sockaddr(ipv4_endpoint endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = htonl(endpoint.address);
    return address;
}

}  // namespace net

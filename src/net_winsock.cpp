#include <winsock2.h>

#include <cstring>

#include "net.h"

static_assert(sizeof(net::socket_handle) == sizeof(SOCKET));

namespace net {
namespace {

sockaddr_in to_sockaddr(ipv4_endpoint endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = htonl(endpoint.address);
    return address;
}

}  // namespace

bool start_network_stack() {
    WSADATA details;
    return WSAStartup(MAKEWORD(2, 2), &details) == 0;
}

void stop_network_stack() { WSACleanup(); }

socket_handle open_udp_socket() { return socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP); }

void allow_broadcast(socket_handle socket) {
    const int flag = 1;
    setsockopt(socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&flag),
               sizeof flag);
}

bool send_datagram(socket_handle socket, const void* data, std::size_t size,
                   ipv4_endpoint destination) {
    const sockaddr_in address = to_sockaddr(destination);
    return sendto(socket, static_cast<const char*>(data), static_cast<int>(size), 0,
                  reinterpret_cast<const sockaddr*>(&address), sizeof address) != SOCKET_ERROR;
}

int wait_until_readable(socket_handle socket, long timeout_microseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout{timeout_microseconds / 1000000, timeout_microseconds % 1000000};
    // The first argument is ignored by Winsock; kept for the Berkeley shape.
    return select(static_cast<int>(socket + 1), &readable, nullptr, nullptr, &timeout);
}

long receive_datagram(socket_handle socket, char* buffer, std::size_t capacity,
                      ipv4_endpoint& sender) {
    sockaddr_in from{};
    int from_length = sizeof from;
    // Winsock fails an oversized datagram with WSAEMSGSIZE on its own.
    const int received = recvfrom(socket, buffer, static_cast<int>(capacity), 0,
                                  reinterpret_cast<sockaddr*>(&from), &from_length);
    if (received == SOCKET_ERROR) {
        return -1;
    }
    sender.address = ntohl(from.sin_addr.s_addr);
    sender.port = ntohs(from.sin_port);
    return received;
}

bool format_ipv4(std::uint32_t address, char (&text)[ipv4_text_size]) {
    in_addr in{};
    in.s_addr = htonl(address);
    // inet_ntoa's buffer belongs to Winsock and is reused: copy it at once.
    const char* dotted = inet_ntoa(in);
    if (dotted == nullptr || std::strlen(dotted) >= ipv4_text_size) {
        return false;
    }
    std::memcpy(text, dotted, std::strlen(dotted) + 1);
    return true;
}

void close_socket(socket_handle socket) { closesocket(socket); }

}  // namespace net

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "net.h"

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

bool start_network_stack() { return true; }

void stop_network_stack() {}

socket_handle open_udp_socket() { return socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP); }

void allow_broadcast(socket_handle socket) {
    const int flag = 1;
    setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &flag, sizeof flag);
}

bool send_datagram(socket_handle socket, const void* data, std::size_t size,
                   ipv4_endpoint destination) {
    const sockaddr_in address = to_sockaddr(destination);
    return sendto(socket, data, size, 0, reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) >= 0;
}

int wait_until_readable(socket_handle socket, long timeout_microseconds) {
    // poll rather than select: no FD_SETSIZE limit on the descriptor number.
    pollfd watched{socket, POLLIN, 0};
    const int timeout_milliseconds = static_cast<int>((timeout_microseconds + 999) / 1000);
    return poll(&watched, 1, timeout_milliseconds);
}

long receive_datagram(socket_handle socket, char* buffer, std::size_t capacity,
                      ipv4_endpoint& sender) {
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    // POSIX truncates an oversized datagram silently; MSG_TRUNC makes Linux
    // return its real length so it fails here as it does under Winsock.
    const ssize_t received = recvfrom(socket, buffer, capacity, MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&from), &from_length);
    if (received < 0 || static_cast<std::size_t>(received) > capacity) {
        return -1;
    }
    sender.address = ntohl(from.sin_addr.s_addr);
    sender.port = ntohs(from.sin_port);
    return static_cast<long>(received);
}

bool format_ipv4(std::uint32_t address, char (&text)[ipv4_text_size]) {
    in_addr in{};
    in.s_addr = htonl(address);
    // inet_ntop writes into our buffer, unlike inet_ntoa's shared one.
    return inet_ntop(AF_INET, &in, text, sizeof text) != nullptr;
}

void close_socket(socket_handle socket) { close(socket); }

}  // namespace net

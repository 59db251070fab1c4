#include <winsock2.h>
#include <ws2tcpip.h>  // SIO_GET_INTERFACE_LIST, INTERFACE_INFO

#include <algorithm>
#include <cstdlib>

#include "net.h"
#include "net_sockaddr.h"

static_assert(sizeof(net::socket_handle) == sizeof(SOCKET));

namespace net {

bool start_network_stack() {
    WSADATA details;
    return WSAStartup(MAKEWORD(2, 2), &details) == 0;
}

void stop_network_stack() { WSACleanup(); }

error_code last_error() { return WSAGetLastError(); }

socket_handle open_udp_socket() { return socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP); }

bool allow_broadcast(socket_handle socket) {
    const int flag = 1;
    return setsockopt(socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&flag),
                      sizeof flag) == 0;
}

bool ignore_unreachable_errors(socket_handle socket) {
    // SIO_UDP_CONNRESET belongs in mstcpip.h; mingw-w64 ships that header,
    // but without this constant.
    constexpr DWORD sio_udp_connreset = _WSAIOW(IOC_VENDOR, 12);
    BOOL report = FALSE;
    DWORD bytes = 0;
    return WSAIoctl(socket, sio_udp_connreset, &report, sizeof report, nullptr, 0, &bytes, nullptr,
                    nullptr) == 0;
}

bool send_datagram(socket_handle socket, const void* data, std::size_t size,
                   ipv4_endpoint destination) {
    const sockaddr_in address = to_sockaddr(destination);
    return sendto(socket, static_cast<const char*>(data), static_cast<int>(size), 0,
                  reinterpret_cast<const sockaddr*>(&address), sizeof address) != SOCKET_ERROR;
}

std::optional<std::size_t> list_interface_addresses(socket_handle socket,
                                                    std::span<interface_address> rows) {
    // Through the socket, so that ws2_32 is the only network DLL we import;
    // it gives one row for each IPv4 address, but does not name adapters.
    // A buffer too small fails the whole list with WSAEFAULT, not a part:
    // ask again with more room, and keep the first rows.
    INTERFACE_INFO on_stack[max_interface_addresses];
    INTERFACE_INFO* listed = on_stack;
    DWORD room = sizeof on_stack;
    DWORD bytes = 0;
    bool failed = WSAIoctl(socket, SIO_GET_INTERFACE_LIST, nullptr, 0, listed, room, &bytes,
                           nullptr, nullptr) != 0;
    while (failed && WSAGetLastError() == WSAEFAULT && room < 64 * sizeof on_stack) {
        if (listed != on_stack) {
            std::free(listed);
        }
        room *= 2;
        listed = static_cast<INTERFACE_INFO*>(std::malloc(room));
        if (listed == nullptr) {
            WSASetLastError(WSA_NOT_ENOUGH_MEMORY);
            return std::nullopt;
        }
        failed = WSAIoctl(socket, SIO_GET_INTERFACE_LIST, nullptr, 0, listed, room, &bytes,
                          nullptr, nullptr) != 0;
    }
    const error_code error = WSAGetLastError();
    const std::size_t count = failed ? 0 : std::min<std::size_t>(bytes / sizeof *listed, rows.size());
    for (std::size_t i = 0; i < count; ++i) {
        const INTERFACE_INFO& info = listed[i];
        interface_address& row = rows[i];
        row.address = ntohl(info.iiAddress.AddressIn.sin_addr.s_addr);
        row.netmask = ntohl(info.iiNetmask.AddressIn.sin_addr.s_addr);
        row.up = (info.iiFlags & IFF_UP) != 0;
        row.broadcast = (info.iiFlags & IFF_BROADCAST) != 0;
        row.loopback = (info.iiFlags & IFF_LOOPBACK) != 0;
        row.point_to_point = (info.iiFlags & IFF_POINTTOPOINT) != 0;
    }
    if (listed != on_stack) {
        std::free(listed);
    }
    if (failed) {
        WSASetLastError(error);
        return std::nullopt;
    }
    return count;
}

std::optional<std::uint32_t> limited_broadcast_source(socket_handle socket, std::uint16_t port) {
    // Windows answers from its routing table which local address a datagram
    // to the destination would leave from, without sending it.
    const sockaddr_in destination = to_sockaddr({INADDR_BROADCAST, port});
    sockaddr_in source{};
    DWORD bytes = 0;
    if (WSAIoctl(socket, SIO_ROUTING_INTERFACE_QUERY, const_cast<sockaddr_in*>(&destination),
                 sizeof destination, &source, sizeof source, &bytes, nullptr, nullptr) != 0 ||
        source.sin_family != AF_INET) {
        return std::nullopt;  // WSAENETUNREACH: no route
    }
    return ntohl(source.sin_addr.s_addr);
}

bool send_copy(socket_handle socket, const void* data, std::size_t size,
               const copy_destination& copy) {
    // Winsock cannot steer a broadcast through a chosen adapter; a directed
    // broadcast finds its adapter by the on-link host route Windows adds
    // for each subnet's broadcast address.
    if (copy.link != 0) {
        WSASetLastError(WSAEOPNOTSUPP);
        return false;
    }
    return send_datagram(socket, data, size, copy.destination);
}

std::int64_t monotonic_microseconds() {
    LARGE_INTEGER ticks{};
    LARGE_INTEGER per_second{};
    QueryPerformanceCounter(&ticks);
    QueryPerformanceFrequency(&per_second);
    return ticks.QuadPart / per_second.QuadPart * 1000000 +
           ticks.QuadPart % per_second.QuadPart * 1000000 / per_second.QuadPart;
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

void close_socket(socket_handle socket) { closesocket(socket); }

}  // namespace net

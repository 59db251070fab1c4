#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
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

#ifdef IP_PKTINFO  // Linux and macOS; elsewhere there is no fallback
bool can_carry_broadcast(const ifaddrs& link) {
    return link.ifa_addr != nullptr && link.ifa_addr->sa_family == AF_INET &&
           (link.ifa_flags & IFF_UP) != 0 && (link.ifa_flags & IFF_BROADCAST) != 0 &&
           (link.ifa_flags & IFF_LOOPBACK) == 0;
}

bool send_through_link(socket_handle socket, const void* data, std::size_t size,
                       sockaddr_in destination, unsigned link_index) {
    iovec payload{const_cast<void*>(data), size};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &payload;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo link{};
    link.ipi_ifindex = static_cast<int>(link_index);
    std::memcpy(CMSG_DATA(header), &link, sizeof link);
    return sendmsg(socket, &message, 0) >= 0;
}

// Without a default route Linux refuses a limited broadcast, as it cannot
// tell which link it is for; Windows sends it on every link, each having
// its own route for it. Send it once through each link that can carry it,
// so a PC cabled straight to its server finds it here too. True when at
// least one copy went out.
bool send_on_each_broadcast_link(socket_handle socket, const void* data, std::size_t size,
                                 sockaddr_in destination) {
    ifaddrs* links = nullptr;
    if (getifaddrs(&links) != 0) {
        return false;
    }
    // A link with several addresses is listed once for each of them.
    std::array<unsigned, 64> done{};
    std::size_t done_count = 0;
    bool sent = false;
    for (const ifaddrs* link = links; link != nullptr && done_count < done.size();
         link = link->ifa_next) {
        const unsigned index = can_carry_broadcast(*link) ? if_nametoindex(link->ifa_name) : 0;
        if (index == 0 || std::find(done.begin(), done.begin() + done_count, index) !=
                              done.begin() + done_count) {
            continue;
        }
        done[done_count++] = index;
        sent = send_through_link(socket, data, size, destination, index) || sent;
    }
    freeifaddrs(links);
    return sent;
}
#else
bool send_on_each_broadcast_link(socket_handle, const void*, std::size_t, sockaddr_in) {
    return false;
}
#endif

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
    if (sendto(socket, data, size, 0, reinterpret_cast<const sockaddr*>(&address),
               sizeof address) >= 0) {
        return true;
    }
    return errno == ENETUNREACH && destination.address == INADDR_BROADCAST &&
           send_on_each_broadcast_link(socket, data, size, address);
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
    iovec into{buffer, capacity};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &into;
    message.msg_iovlen = 1;
    // POSIX truncates an oversized datagram silently and says so only in
    // msg_flags; it fails here, as it does under Winsock.
    const ssize_t received = recvmsg(socket, &message, 0);
    if (received < 0 || (message.msg_flags & MSG_TRUNC) != 0) {
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

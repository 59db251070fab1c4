#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "net.h"
#include "net_sockaddr.h"

namespace net {
namespace {

std::uint32_t ipv4_of(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET) {
        return 0;
    }
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    return ntohl(in.sin_addr.s_addr);
}

#ifdef __linux__
// One question about one listed address; the answer lands in a copy of it.
bool ask(socket_handle socket, unsigned long request, const ifreq& listed, ifreq& answer) {
    answer = listed;
    return ioctl(socket, request, &answer) == 0;
}

// The IPv4 addresses as SIOCGIFCONF lists them, each with its interface's
// name (or an alias's label, such as "eth0:1"); the first of them only,
// when there are more than fit.
std::optional<std::size_t> list_ifreqs(socket_handle socket,
                                       std::array<ifreq, max_interface_addresses>& listed) {
    ifconf list{};
    list.ifc_len = static_cast<int>(sizeof listed);
    list.ifc_req = listed.data();
    if (ioctl(socket, SIOCGIFCONF, &list) != 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(list.ifc_len) / sizeof(ifreq);
}
#endif

}  // namespace

bool start_network_stack() { return true; }

void stop_network_stack() {}

error_code last_error() { return errno; }

void describe_error(error_code code, std::span<char> text) {
    if (text.empty()) {
        return;
    }
    // One thread: strerror's buffer is ours until the copy is made.
    const char* message = std::strerror(code);
    const std::size_t length = std::min(std::strlen(message), text.size() - 1);
    std::memcpy(text.data(), message, length);
    text[length] = '\0';
}

socket_handle open_udp_socket() { return socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP); }

bool allow_broadcast(socket_handle socket) {
    const int flag = 1;
    return setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &flag, sizeof flag) == 0;
}

// An unconnected socket never hears of ICMP errors here.
bool ignore_unreachable_errors(socket_handle) { return true; }

bool send_datagram(socket_handle socket, const void* data, std::size_t size,
                   ipv4_endpoint destination) {
    const sockaddr_in address = to_sockaddr(destination);
    return sendto(socket, data, size, 0, reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) >= 0;
}

std::optional<std::uint32_t> limited_broadcast_source(socket_handle, std::uint16_t port) {
    // Connecting a datagram socket only picks its route and source address;
    // nothing is sent. A probe of its own, since a connected discovery
    // socket would drop replies from anyone else.
    const socket_guard probe{open_udp_socket()};
    if (probe.get() == invalid_socket) {
        return std::nullopt;
    }
    allow_broadcast(probe.get());
    const sockaddr_in destination = to_sockaddr({INADDR_BROADCAST, port});
    sockaddr_in source{};
    socklen_t length = sizeof source;
    if (connect(probe.get(), reinterpret_cast<const sockaddr*>(&destination),
                sizeof destination) != 0 ||
        getsockname(probe.get(), reinterpret_cast<sockaddr*>(&source), &length) != 0) {
        return std::nullopt;  // ENETUNREACH: no default route
    }
    return ntohl(source.sin_addr.s_addr);
}

#ifdef __linux__
std::optional<std::size_t> list_interface_addresses(socket_handle socket,
                                                    std::span<interface_address> rows) {
    // Through the discovery socket, as on Windows: one ioctl lists the IPv4
    // addresses, down links' too; three more describe each. getifaddrs'
    // netlink dumps and heap made the found path a tenth slower.
    std::array<ifreq, max_interface_addresses> listed{};
    const std::optional<std::size_t> listed_count = list_ifreqs(socket, listed);
    if (!listed_count) {
        return std::nullopt;
    }
    const std::size_t count = std::min(*listed_count, rows.size());
    for (std::size_t i = 0; i < count; ++i) {
        interface_address& row = rows[i];
        row.address = ipv4_of(&listed[i].ifr_addr);
        ifreq answer{};
        // Linux picks the address by label and address: this one's netmask.
        row.netmask =
            ask(socket, SIOCGIFNETMASK, listed[i], answer) ? ipv4_of(&answer.ifr_netmask) : 0;
        row.link = ask(socket, SIOCGIFINDEX, listed[i], answer)
                       ? static_cast<unsigned>(answer.ifr_ifindex)
                       : 0;
        const int flags = ask(socket, SIOCGIFFLAGS, listed[i], answer) ? answer.ifr_flags : 0;
        row.up = (flags & IFF_UP) != 0;
        row.broadcast = (flags & IFF_BROADCAST) != 0;
        row.loopback = (flags & IFF_LOOPBACK) != 0;
        row.point_to_point = (flags & IFF_POINTOPOINT) != 0;
    }
    return count;
}

error_code name_interfaces(std::span<const interface_address> rows, std::span<interface_name> names) {
    // Listed once more, for the names the launcher has no use for.
    const socket_guard socket{open_udp_socket()};
    std::array<ifreq, max_interface_addresses> listed{};
    const std::optional<std::size_t> count =
        socket.get() == invalid_socket ? std::nullopt : list_ifreqs(socket.get(), listed);
    const error_code error = count ? 0 : errno;
    for (std::size_t i = 0; i < rows.size() && i < names.size(); ++i) {
        names[i] = interface_name{};
        for (const ifreq& entry : std::span{listed.data(), count.value_or(0)}) {
            if (ipv4_of(&entry.ifr_addr) == rows[i].address) {
                static_assert(sizeof names[i].text > sizeof entry.ifr_name);
                std::memcpy(names[i].text, entry.ifr_name, sizeof entry.ifr_name);
                break;
            }
        }
    }
    return error;
}

bool send_copy(socket_handle socket, const void* data, std::size_t size,
               const copy_destination& copy) {
    if (copy.link == 0) {
        return send_datagram(socket, data, size, copy.destination);
    }
    // Steered through the link with IP_PKTINFO: a limited broadcast goes
    // out there exactly as from a PC with that link alone, reaching every
    // subnet on it. Linux honours the index with or without a route.
    sockaddr_in destination = to_sockaddr(copy.destination);
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
    link.ipi_ifindex = static_cast<int>(copy.link);
    std::memcpy(CMSG_DATA(header), &link, sizeof link);
    return sendmsg(socket, &message, 0) >= 0;
}
#else
// Elsewhere ifreq records vary in length and IP_PKTINFO does not steer a
// send: only the platform's own broadcast goes out.
std::optional<std::size_t> list_interface_addresses(socket_handle, std::span<interface_address>) {
    return 0;
}

error_code name_interfaces(std::span<const interface_address>, std::span<interface_name> names) {
    std::fill(names.begin(), names.end(), interface_name{});
    return 0;
}

bool send_copy(socket_handle socket, const void* data, std::size_t size,
               const copy_destination& copy) {
    if (copy.link != 0) {
        errno = EOPNOTSUPP;
        return false;
    }
    return send_datagram(socket, data, size, copy.destination);
}
#endif

std::int64_t monotonic_microseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
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
    if (received < 0) {
        return -1;
    }
    if ((message.msg_flags & MSG_TRUNC) != 0) {
        errno = EMSGSIZE;  // Winsock's WSAEMSGSIZE: every failure leaves its error
        return -1;
    }
    sender.address = ntohl(from.sin_addr.s_addr);
    sender.port = ntohs(from.sin_port);
    return static_cast<long>(received);
}

void close_socket(socket_handle socket) { close(socket); }

}  // namespace net

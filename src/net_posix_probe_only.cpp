// The POSIX socket layer's calls that only the probe makes, apart so that
// the launcher links none of them.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "net.h"
#include "net_sockaddr.h"

namespace net {

int wait_until_either_readable(socket_handle first, socket_handle second, long timeout_microseconds) {
    // poll skips a negative descriptor: an invalid second is not waited on.
    pollfd watched[] = {{first, POLLIN, 0}, {second, POLLIN, 0}};
    const int ready = poll(watched, 2, static_cast<int>((timeout_microseconds + 999) / 1000));
    if (ready <= 0) {
        return ready;
    }
    return (watched[0].revents != 0 ? 1 : 0) | (watched[1].revents != 0 ? 2 : 0);
}

// Windows' alone: nothing to identify.
error_code identify_adapters(std::span<const interface_address> /*rows*/, std::span<adapter_id> /*ids*/) { return 0; }

socket_handle open_tcp_socket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP); }

error_code connect_within(socket_handle socket, ipv4_endpoint destination, long timeout_microseconds) {
    const sockaddr_in address = to_sockaddr(destination);
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return 0;
    }
    if (errno != EINPROGRESS) {
        return errno;
    }
    pollfd watched{socket, POLLOUT, 0};
    const int ready = poll(&watched, 1, static_cast<int>((timeout_microseconds + 999) / 1000));
    if (ready <= 0) {
        return ready == 0 ? timed_out : errno;
    }
    int error = 0;
    socklen_t size = sizeof error;
    return getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 ? error : errno;
}

bool send_bytes(socket_handle socket, const void* data, std::size_t size) {
    // No SIGPIPE where the other end has gone: the error is reported instead.
    const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
    if (sent >= 0 && static_cast<std::size_t>(sent) != size) {
        errno = EAGAIN;
    }
    return sent >= 0 && static_cast<std::size_t>(sent) == size;
}

long receive_bytes(socket_handle socket, char* buffer, std::size_t capacity) {
    return static_cast<long>(recv(socket, buffer, capacity, 0));
}

error_code resolve_ipv4(const char* name, std::uint32_t& address) {
    in_addr parsed{};
    if (inet_pton(AF_INET, name, &parsed) != 1) {
        return ENOSYS;
    }
    address = ntohl(parsed.s_addr);
    return 0;
}

}  // namespace net

// The thin socket layer under discovery: one implementation over Winsock,
// one over POSIX, so the discovery algorithm is written once and can run
// against a substitute in the tests.
#pragma once

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#ifdef _WIN32
#include <basetsd.h>
#endif

namespace net {

#ifdef _WIN32
using socket_handle = UINT_PTR;  // Winsock's SOCKET, without pulling in winsock2.h
#else
using socket_handle = int;
#endif
inline constexpr socket_handle invalid_socket = static_cast<socket_handle>(-1);

// An IPv4 address and UDP port, both in host byte order; the layer converts
// them at the platform boundary.
struct ipv4_endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// One IPv4 address of one of this host's interfaces, as the platform lists
// it; an interface with several addresses gives several rows. Addresses in
// host byte order.
struct interface_address {
    std::uint32_t address = 0;
    std::uint32_t netmask = 0;
    unsigned link = 0;  // the interface's index; 0 where the platform does not tell
    bool up = false;
    bool broadcast = false;
    bool loopback = false;
    bool point_to_point = false;
};

// An interface's name as the probe shows it, NUL-terminated: Linux's are
// bytes, at most 15; Windows' friendly names are UTF-8 here, kept whole up
// to 64 characters of any script (4 bytes each at the most), cut at a
// character's end beyond that. Only the probe asks for names, so the
// launcher's rows stay small.
inline constexpr std::size_t interface_name_size = 4 * 64 + 1;
struct interface_name {
    char text[interface_name_size] = {};
};

// Windows' GUID of an adapter, as its network connections name it; all
// zero where none is known.
using adapter_id = std::array<unsigned char, 16>;

// Whether names come as UTF-8 text (Windows) or as a kernel's bytes that
// may be anything but NUL (Linux).
#ifdef _WIN32
inline constexpr bool names_are_utf8 = true;
#else
inline constexpr bool names_are_utf8 = false;
#endif

// The system's number for why a call failed: errno on POSIX,
// WSAGetLastError() on Windows; 0 for no failure.
using error_code = int;

// Where one extra copy of a broadcast goes: to destination, and when link
// is not 0, steered out through that interface whatever the routes say.
struct copy_destination {
    ipv4_endpoint destination;
    unsigned link = 0;
};

// What one extra copy of a broadcast reaches, given how the platform can
// send it: the whole link it is steered through (a limited broadcast on
// Linux), or the one subnet it is addressed to (a directed broadcast on
// Windows, which cannot steer a broadcast through a chosen adapter).
enum class segment_kind { link, subnet };
#ifdef _WIN32
inline constexpr segment_kind copy_reaches = segment_kind::subnet;
#else
inline constexpr segment_kind copy_reaches = segment_kind::link;
#endif

// How many interface addresses the layer lists at the most.
inline constexpr std::size_t max_interface_addresses = 128;

// Starts the platform's network stack (Winsock 2.2); true when it started.
// A no-op that succeeds where there is nothing to start.
bool start_network_stack();

// Stops what a successful start_network_stack() started.
void stop_network_stack();

// The error of the layer call that failed last on this thread: read it
// right after the failing call, before any other.
error_code last_error();

// How often one kind of call failed, and the system's reason the last time.
struct failure_tally {
    unsigned count = 0;
    error_code last_error = 0;
};

// Counts in tally a failure that the layer has just reported: call it
// right after the failing call, as last_error().
inline void count_failure(failure_tally& tally) {
    tally.last_error = last_error();
    ++tally.count;
}

// The system's own text for code (strerror, or FormatMessage in the
// language of Windows, as UTF-8), NUL-terminated, as the system gives it:
// a line end or a full stop may end it. Cut to fit.
void describe_error(error_code code, std::span<char> text);

// Opens an unbound IPv4 UDP socket, or returns invalid_socket.
socket_handle open_udp_socket();

// Asks for permission to send to broadcast addresses; false when refused
// (the sends then fail too).
bool allow_broadcast(socket_handle socket);

// Windows reports an ICMP "port unreachable" caused by an earlier send as
// a failed receive (WSAECONNRESET) and marks the socket readable for it;
// this turns that off (SIO_UDP_CONNRESET), so that only datagrams are
// read. POSIX reports none on an unconnected socket: nothing to do there.
// False when the platform refused.
bool ignore_unreachable_errors(socket_handle socket);

// Sends one datagram to destination, by the platform's own routing; false
// when the platform reports the send failed.
bool send_datagram(socket_handle socket, const void* data, std::size_t size,
                   ipv4_endpoint destination);

// Waits up to timeout_microseconds for the socket to become readable:
// greater than 0 readable, 0 timed out, less than 0 the wait failed. POSIX
// waits in whole milliseconds, rounded up; Winsock in microseconds.
int wait_until_readable(socket_handle socket, long timeout_microseconds);

// The same for two sockets, the probe's discovery socket and its direct
// request's: less than 0 the wait failed, 0 timed out, otherwise 1 when
// first is readable, plus 2 when second is. A second that is
// invalid_socket is not waited on.
int wait_until_either_readable(socket_handle first, socket_handle second, long timeout_microseconds);

// A monotonic clock, in microseconds from an arbitrary start.
std::int64_t monotonic_microseconds();

// Fills rows with this host's IPv4 interface addresses, the first as many
// as fit in the platform's order, however many it has, and returns how
// many it wrote; none when the platform could not list them. Both
// platforms ask through the discovery socket.
std::optional<std::size_t> list_interface_addresses(socket_handle socket,
                                                    std::span<interface_address> rows);

// Writes into names[i] the name of the interface that holds rows[i]'s
// address, where the platform can tell, and leaves it empty where not:
// Linux lists its addresses once more, for the link's name or an alias's
// label ("eth0:1"); Windows asks IP Helper, loaded from System32 for the
// question, for its adapters' friendly names. 0, or the system's error
// when no name could be had at all (IP Helper could not be loaded, or the
// list could not be made).
error_code name_interfaces(std::span<const interface_address> rows, std::span<interface_name> names);

// Writes into ids[i] the GUID of the Windows adapter that holds rows[i]'s
// address, asking IP Helper as name_interfaces() does; leaves every id
// zero on POSIX, and where no adapter holds it. 0, or the system's error
// when no adapter could be identified at all.
error_code identify_adapters(std::span<const interface_address> rows, std::span<adapter_id> ids);

// The local address that a limited broadcast to port would leave from,
// found without sending anything; none when the platform has no route for
// a limited broadcast. Windows asks through socket; POSIX opens a socket of
// its own for the question and ignores this one.
std::optional<std::uint32_t> limited_broadcast_source(socket_handle socket, std::uint16_t port);

// Sends one datagram to copy.destination from socket, through copy.link
// when that is not 0 (Linux, with IP_PKTINFO); false when the platform
// reports that the send failed or cannot steer a send through a link
// (Windows, and POSIX systems other than Linux: EOPNOTSUPP).
bool send_copy(socket_handle socket, const void* data, std::size_t size,
               const copy_destination& copy);

// Receives one datagram into buffer and records its sender. Returns the
// number of bytes received, or -1 on failure. A datagram longer than
// capacity is a failure on every platform, with EMSGSIZE or WSAEMSGSIZE,
// never a silent truncation.
long receive_datagram(socket_handle socket, char* buffer, std::size_t capacity,
                      ipv4_endpoint& sender);

// The probe's one look at the server's page: a TCP connection whose every
// step is bounded, made apart from discovery and from the launcher.

// The error of a step whose time ran out (WSAETIMEDOUT, ETIMEDOUT), and
// of a connection that the other end refused (WSAECONNREFUSED, ECONNREFUSED).
#ifdef _WIN32
inline constexpr error_code timed_out = 10060;
inline constexpr error_code connection_refused = 10061;
#else
inline constexpr error_code timed_out = ETIMEDOUT;
inline constexpr error_code connection_refused = ECONNREFUSED;
#endif

// Opens a non-blocking IPv4 TCP socket, or returns invalid_socket.
socket_handle open_tcp_socket();

// Connects socket to destination within timeout_microseconds: 0, or the
// system's error (timed_out when the time ran out).
error_code connect_within(socket_handle socket, ipv4_endpoint destination, long timeout_microseconds);

// Sends size bytes, which must fit the socket's buffer whole (a request of
// a few hundred bytes on a fresh connection does): false when the system
// refused or took fewer.
bool send_bytes(socket_handle socket, const void* data, std::size_t size);

// Receives what has arrived, up to capacity bytes: their number, 0 when
// the other end closed, -1 on failure.
long receive_bytes(socket_handle socket, char* buffer, std::size_t capacity);

// The first IPv4 address the system's resolver gives for name, or a
// dotted address as it stands: 0, or the resolver's error. POSIX takes a
// dotted address alone (ENOSYS for a name): only a Windows proxy setting
// names a host that the probe must find.
error_code resolve_ipv4(const char* name, std::uint32_t& address);

// Releases a socket that open_udp_socket() or open_tcp_socket() opened.
void close_socket(socket_handle socket);

// Closes its socket on every path out of the scope that opened it.
class socket_guard {
public:
    explicit socket_guard(socket_handle socket) : socket_(socket) {}
    socket_guard(const socket_guard&) = delete;
    socket_guard& operator=(const socket_guard&) = delete;
    ~socket_guard() { close(); }

    [[nodiscard]] socket_handle get() const { return socket_; }
    void close() {
        if (socket_ != invalid_socket) {
            close_socket(socket_);
            socket_ = invalid_socket;
        }
    }

private:
    socket_handle socket_;
};

}  // namespace net

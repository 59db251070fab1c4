#include "fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "browser.h"
#include "console.h"
#include "desktop.h"

namespace {

fake_platform the_fake;

void record(const char* call, std::string& log = the_fake.calls) {
    if (!log.empty()) {
        log += ' ';
    }
    log += call;
}

// A call's outcome: a failure leaves the script's error behind.
bool outcome(bool succeeds) {
    if (!succeeds) {
        the_fake.last_error = the_fake.script.failure;
    }
    return succeeds;
}

template <typename T>
T next(std::deque<T>& queue, T when_empty) {
    if (queue.empty()) {
        return when_empty;
    }
    T value = queue.front();
    queue.pop_front();
    return value;
}

}  // namespace

fake_platform& fake() { return the_fake; }
void reset_fake(const fake_script& script) {
    the_fake = fake_platform{};
    the_fake.script = script;
}

namespace net {

bool start_network_stack() {
    record("start");
    return the_fake.script.stack_starts;
}

void stop_network_stack() { record("stop"); }

error_code last_error() { return the_fake.last_error; }

void describe_error(error_code code, std::span<char> text) {
    if (the_fake.script.error_text.empty()) {
        std::snprintf(text.data(), text.size(), "text of %d", code);
    } else {
        std::snprintf(text.data(), text.size(), "%s", the_fake.script.error_text.c_str());
    }
}

socket_handle open_udp_socket() {
    record("socket");
    if (!outcome(next(the_fake.script.socket_opens, true))) {
        return invalid_socket;
    }
    // 7, then 8 for a second socket open beside it.
    return static_cast<socket_handle>(7 + the_fake.sockets_open++);
}

bool allow_broadcast(socket_handle) {
    record("broadcast", the_fake.set_up);
    return outcome(the_fake.script.broadcast_allowed);
}

bool ignore_unreachable_errors(socket_handle) {
    record("icmp", the_fake.set_up);
    return outcome(the_fake.script.unreachable_errors_off);
}

// The second socket's sends and waits have queues of their own, so that the
// launcher, which opens one, runs on the same script as the probe.
constexpr socket_handle second_socket = 8;

bool send_datagram(socket_handle socket, const void* data, std::size_t size, ipv4_endpoint destination) {
    record("send");
    the_fake.destinations.push_back(destination);
    the_fake.payloads.emplace_back(static_cast<const char*>(data), size);
    const bool left = outcome(next(socket == second_socket ? the_fake.script.direct_sends_succeed : the_fake.script.sends_succeed, true));
    the_fake.datagrams.push_back({socket, {destination, 0}, false, left});
    return left;
}

std::optional<std::size_t> list_interface_addresses(socket_handle, std::span<interface_address> rows) {
    record("interfaces", the_fake.set_up);
    if (!outcome(the_fake.script.interfaces_listed)) {
        return std::nullopt;
    }
    const std::size_t count = std::min(rows.size(), the_fake.script.interfaces.size());
    std::copy_n(the_fake.script.interfaces.begin(), count, rows.begin());
    return count;
}

// "if1", "if2", ... by the row's link.
error_code name_interfaces(std::span<const interface_address> rows, std::span<interface_name> names) {
    record("names", the_fake.set_up);
    const std::vector<std::string>& given = the_fake.script.names;
    for (std::size_t i = 0; i < rows.size() && i < names.size(); ++i) {
        if (!the_fake.script.names_read) {
            names[i] = {};
        } else if (i < given.size()) {
            std::snprintf(names[i].text, sizeof names[i].text, "%s", given[i].c_str());
        } else {
            std::snprintf(names[i].text, sizeof names[i].text, "if%u", rows[i].link);
        }
    }
    return the_fake.script.names_read ? 0 : the_fake.script.failure;
}

// The script's categories are by row already.
error_code identify_adapters(std::span<const interface_address>, std::span<adapter_id>) {
    return the_fake.script.adapters_error;
}

std::optional<std::uint32_t> limited_broadcast_source(socket_handle, std::uint16_t) {
    record("route", the_fake.set_up);
    return the_fake.script.own_source;
}

bool send_copy(socket_handle socket, const void* data, std::size_t size, const copy_destination& copy) {
    record("send");
    the_fake.copies.push_back(copy);
    the_fake.payloads.emplace_back(static_cast<const char*>(data), size);
    const bool left = outcome(next(the_fake.script.copies_succeed, true));
    the_fake.datagrams.push_back({socket, copy, true, left});
    return left;
}

// Like any call, the clock may change the last error: it must be read first.
std::int64_t monotonic_microseconds() {
    the_fake.last_error = 0;
    return the_fake.now_microseconds;
}

// A second socket that is readable answers first; the first socket's result
// is taken only when it is readable too, so that it stays for the wait that
// the launcher makes.
int wait_until_either_readable(socket_handle first, socket_handle second, long timeout_microseconds) {
    if (second == invalid_socket || next(the_fake.script.direct_waits, 0) <= 0) {
        return wait_until_readable(first, timeout_microseconds);
    }
    record("wait");
    the_fake.wait_timeouts.push_back(timeout_microseconds);
    std::deque<int>& first_results = the_fake.script.wait_results;
    const bool both = !first_results.empty() && first_results.front() > 0;
    if (both) {
        first_results.pop_front();
    }
    return both ? 3 : 2;
}

// TCP sockets are numbered from 100, one a connection, never reused.
constexpr socket_handle first_tcp_socket = 100;

socket_handle open_tcp_socket() {
    ++the_fake.sockets_open;
    the_fake.connections.push_back({});
    return first_tcp_socket + the_fake.connections.size() - 1;
}

error_code connect_within(socket_handle socket, ipv4_endpoint destination, long timeout_microseconds) {
    record("connect");
    the_fake.connected.push_back(destination);
    fake_connection& connection = the_fake.connections[socket - first_tcp_socket];
    connection = next(the_fake.script.connections, {.connect_error = connection_refused});
    const bool timed = connection.connect_error == timed_out;
    the_fake.now_microseconds += timed ? timeout_microseconds : connection.connect_takes;
    return connection.connect_error;
}

bool send_bytes(socket_handle, const void* data, std::size_t size) {
    the_fake.requests.emplace_back(static_cast<const char*>(data), size);
    return true;
}

long receive_bytes(socket_handle socket, char* buffer, std::size_t capacity) {
    fake_connection& connection = the_fake.connections[socket - first_tcp_socket];
    if (connection.chunks.empty()) {
        the_fake.last_error = connection.receive_error;
        return connection.receive_error != 0 ? -1 : 0;
    }
    std::string& chunk = connection.chunks.front();
    const std::size_t size = std::min(capacity, chunk.size());
    std::copy_n(chunk.begin(), size, buffer);
    chunk.erase(0, size);
    if (chunk.empty()) {
        connection.chunks.pop_front();
    }
    return static_cast<long>(size);
}

error_code resolve_ipv4(const char*, std::uint32_t& address) {
    address = the_fake.script.resolved.value_or(0);
    return the_fake.script.resolved ? 0 : the_fake.script.failure;
}

int wait_until_readable(socket_handle socket, long timeout_microseconds) {
    if (socket >= first_tcp_socket) {
        const fake_connection& connection = the_fake.connections[socket - first_tcp_socket];
        const bool silent = connection.chunks.empty() && connection.stays_open;
        the_fake.now_microseconds += silent ? timeout_microseconds : 1000;
        return silent ? 0 : 1;
    }
    record("wait");
    the_fake.wait_timeouts.push_back(timeout_microseconds);
    const int result = next(socket == second_socket ? the_fake.script.direct_waits : the_fake.script.wait_results, 0);
    if (result == 0) {
        the_fake.now_microseconds += timeout_microseconds;
    }
    outcome(result >= 0);
    return result;
}

long receive_datagram(socket_handle socket, char* buffer, std::size_t capacity, ipv4_endpoint& sender) {
    record("receive");
    the_fake.receive_capacity = capacity;
    std::deque<fake_reply>& replies = socket == second_socket ? the_fake.script.direct_replies : the_fake.script.replies;
    if (replies.empty()) {
        the_fake.now_microseconds += fake_reply{}.takes_microseconds;
        outcome(false);
        return -1;
    }
    const fake_reply reply = next(replies, {});
    the_fake.now_microseconds += reply.takes_microseconds;
    if (reply.error != 0) {
        the_fake.last_error = reply.error;
        return -1;
    }
    if (reply.bytes.size() > capacity) {
        the_fake.last_error = 10040;  // WSAEMSGSIZE
        return -1;
    }
    std::copy(reply.bytes.begin(), reply.bytes.end(), buffer);
    sender.address = reply.sender;
    return static_cast<long>(reply.bytes.size());
}

void close_socket(socket_handle socket) {
    if (socket >= first_tcp_socket) {
        --the_fake.sockets_open;
        return;
    }
    record("close");
    --the_fake.sockets_open;
}

}  // namespace net

namespace firewall {

state read(std::span<const net::adapter_id> /*adapters*/) { return the_fake.script.firewall; }

}  // namespace firewall

namespace browser {

detect::http_program find_http_program() { return the_fake.script.program; }
detect::proxy_settings read_proxy_settings(const char*) { return the_fake.script.proxy; }

}  // namespace browser

namespace console {

void write(std::FILE*, std::string_view text) { the_fake.written.append(text); }

}  // namespace console

namespace desktop {

void open_url(const char* url) {
    record("open_url");
    the_fake.opened_urls.emplace_back(url);
}

void show_warning(const char* caption, const char* text) {
    record("warning");
    the_fake.warnings.push_back(std::string(caption) + "|" + text);
}

}  // namespace desktop

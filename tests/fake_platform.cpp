#include "fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "desktop.h"

namespace {

fake_platform the_fake;

void record(const char* call, std::string& log = the_fake.calls) {
    if (!log.empty()) {
        log += ' ';
    }
    log += call;
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

socket_handle open_udp_socket() {
    record("socket");
    if (!next(the_fake.script.socket_opens, true)) {
        return invalid_socket;
    }
    ++the_fake.sockets_open;
    return 7;
}

void allow_broadcast(socket_handle) { record("broadcast", the_fake.set_up); }

bool send_datagram(socket_handle, const void* data, std::size_t size, ipv4_endpoint destination) {
    record("send");
    the_fake.destinations.push_back(destination);
    the_fake.payloads.emplace_back(static_cast<const char*>(data), size);
    return next(the_fake.script.sends_succeed, true);
}

std::size_t list_interface_addresses(socket_handle, std::span<interface_address> rows) {
    record("interfaces", the_fake.set_up);
    const std::size_t count = std::min(rows.size(), the_fake.script.interfaces.size());
    std::copy_n(the_fake.script.interfaces.begin(), count, rows.begin());
    return count;
}

void name_interfaces(std::span<interface_address>) { record("names", the_fake.set_up); }

std::optional<std::uint32_t> limited_broadcast_source(socket_handle, std::uint16_t) {
    record("route", the_fake.set_up);
    return the_fake.script.own_source;
}

bool send_copy(socket_handle, const void* data, std::size_t size, const copy_destination& copy) {
    record("send");
    the_fake.copies.push_back(copy);
    the_fake.payloads.emplace_back(static_cast<const char*>(data), size);
    return next(the_fake.script.copies_succeed, true);
}

std::int64_t monotonic_microseconds() { return the_fake.now_microseconds; }

int wait_until_readable(socket_handle, long timeout_microseconds) {
    record("wait");
    the_fake.wait_timeouts.push_back(timeout_microseconds);
    const int result = next(the_fake.script.wait_results, 0);
    if (result == 0) {
        the_fake.now_microseconds += timeout_microseconds;
    }
    return result;
}

long receive_datagram(socket_handle, char* buffer, std::size_t capacity, ipv4_endpoint& sender) {
    record("receive");
    the_fake.receive_capacity = capacity;
    if (the_fake.script.replies.empty()) {
        return -1;
    }
    const fake_reply reply = next(the_fake.script.replies, {});
    if (reply.bytes.size() > capacity) {
        return -1;
    }
    std::copy(reply.bytes.begin(), reply.bytes.end(), buffer);
    sender.address = reply.sender;
    return static_cast<long>(reply.bytes.size());
}

bool format_ipv4(std::uint32_t address, char (&text)[ipv4_text_size]) {
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address >> 24) & 0xFFu,
                  (address >> 16) & 0xFFu, (address >> 8) & 0xFFu, address & 0xFFu);
    return true;
}

void close_socket(socket_handle) {
    record("close");
    --the_fake.sockets_open;
}

}  // namespace net

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

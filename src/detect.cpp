#include "detect.h"

#include <cstring>

#include "desktop.h"
#include "net.h"
#include "segments.h"

namespace detect {
namespace {

bool contains(std::string_view text, std::string_view marker) {
    return text.find(marker) != std::string_view::npos;
}

// The reply only counts up to its first NUL, as the text a server meant.
std::string_view text_before_nul(const char* data, std::size_t size) {
    const void* nul = std::memchr(data, '\0', size);
    return {data, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - data) : size};
}

net::socket_handle open_socket_with_one_retry() {
    net::socket_handle socket = net::open_udp_socket();
    return socket != net::invalid_socket ? socket : net::open_udp_socket();
}

// The segments beyond the platform's own broadcast, taken once for the
// whole discovery.
copy_segments other_segments(net::socket_handle socket) {
    std::array<net::interface_address, net::max_interface_addresses> rows;
    const std::size_t count = net::list_interface_addresses(socket, rows);
    return choose_copy_segments({rows.data(), count},
                                net::limited_broadcast_source(socket, discovery_port),
                                net::copy_reaches);
}

// One attempt's sends: the limited broadcast, then a copy to each other
// segment. True when at least one went out; one refusing (a Hyper-V
// adapter may) neither stops the others nor fails the attempt.
bool send_request(net::socket_handle socket, const copy_segments& copies) {
    bool sent = net::send_datagram(socket, discovery_request.data(), discovery_request.size(),
                                   {limited_broadcast, discovery_port});
    for (const net::interface_address& segment : copies.list()) {
        sent = net::send_to_segment(socket, discovery_request.data(), discovery_request.size(),
                                    discovery_port, segment) ||
               sent;
    }
    return sent;
}

// Sends the request until an attempt sends something and the socket turns
// readable within the wait that follows it; true when a datagram is waiting.
bool broadcast_until_readable(net::socket_handle socket, const copy_segments& copies) {
    for (int attempts_left = discovery_attempts; attempts_left > 0; --attempts_left) {
        if (!send_request(socket, copies)) {
            continue;
        }
        if (net::wait_until_readable(socket, reply_wait_microseconds) > 0) {
            return true;
        }
    }
    return false;
}

server_address_text copy_address_text(std::uint32_t address) {
    char text[net::ipv4_text_size] = {};
    if (!net::format_ipv4(address, text)) {
        return nullptr;
    }
    const std::size_t length = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(length));
    if (copy != nullptr) {
        std::memcpy(copy, text, length);
    }
    return server_address_text{copy};
}

}  // namespace

bool is_discovery_reply(const char* data, std::size_t size) {
    const std::string_view text = text_before_nul(data, size);
    return contains(text, "ANSWER") && contains(text, "FindServer");
}

server_address_text find_korvelin_server() {
    net::socket_guard socket{open_socket_with_one_retry()};
    if (socket.get() == net::invalid_socket) {
        return nullptr;
    }
    net::allow_broadcast(socket.get());
    if (!broadcast_until_readable(socket.get(), other_segments(socket.get()))) {
        return nullptr;
    }

    char reply[reply_buffer_size] = {};
    net::ipv4_endpoint sender;
    const long received = net::receive_datagram(socket.get(), reply, sizeof reply, sender);
    // Only the first datagram is judged; any later ones go with the socket.
    socket.close();
    if (received < 0 || !is_discovery_reply(reply, static_cast<std::size_t>(received))) {
        return nullptr;
    }
    return copy_address_text(sender.address);
}

bool build_server_url(const char* address, char (&url)[url_buffer_size]) {
    url[0] = '\0';
    const std::string_view text{address};
    if (url_prefix.size() + text.size() >= url_buffer_size) {
        return false;
    }
    std::memcpy(url, url_prefix.data(), url_prefix.size());
    std::memcpy(url + url_prefix.size(), text.data(), text.size());
    url[url_prefix.size() + text.size()] = '\0';
    return true;
}

void open_in_default_browser(const char* address) {
    char url[url_buffer_size];
    if (build_server_url(address, url)) {
        desktop::open_url(url);
    }
}

void show_message_box(const char* caption, const char* text) {
    desktop::show_warning(caption, text);
}

int run_launcher() {
    const bool stack_started = net::start_network_stack();
    if (const server_address_text address = find_korvelin_server()) {
        open_in_default_browser(address.get());
    } else {
        show_message_box("Sorry", "Server wasn't found");
    }
    if (stack_started) {
        net::stop_network_stack();
    }
    return 0;
}

}  // namespace detect

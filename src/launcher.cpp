#include "launcher.h"

#include <cstring>

#include "broadcast.h"
#include "desktop.h"
#include "ipv4_text.h"
#include "net.h"

namespace detect {
namespace {

// Sends the request until an attempt sends something and the socket turns
// readable within the wait that follows it; true when a datagram is waiting.
bool broadcast_until_readable(net::socket_handle socket, const segment_plan& plan) {
    for (int attempts_left = discovery_attempts; attempts_left > 0; --attempts_left) {
        if (!send_request(socket, plan)) {
            continue;
        }
        if (net::wait_until_readable(socket, reply_wait_microseconds) > 0) {
            return true;
        }
    }
    return false;
}

server_address_text copy_address_text(std::uint32_t address) {
    char text[ipv4_text_size] = {};
    const std::size_t length = format_ipv4(address, text) + 1;
    auto* copy = static_cast<char*>(std::malloc(length));
    if (copy != nullptr) {
        std::memcpy(copy, text, length);
    }
    return server_address_text{copy};
}

}  // namespace

server_address_text find_korvelin_server() {
    net::socket_guard socket{open_discovery_socket()};
    if (socket.get() == net::invalid_socket) {
        return nullptr;
    }
    if (!broadcast_until_readable(socket.get(), plan_segments(socket.get()))) {
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

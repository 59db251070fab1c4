// Finds a korvelin server on the local IPv4 network by UDP broadcast and
// opens its web page, or says that none was found.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "datagrams.h"

namespace detect {

inline constexpr std::string_view url_prefix = "http://";
inline constexpr std::size_t url_buffer_size = 50;

struct free_deleter {
    void operator()(char* text) const noexcept { std::free(text); }
};

// A heap-allocated, NUL-terminated dotted-decimal IPv4 address, released
// by its owner; empty when no server was found.
using server_address_text = std::unique_ptr<char, free_deleter>;

// One complete discovery: broadcasts the request up to five times, each
// time with a copy to every other attached segment, waits up to 500 ms
// after each attempt that sent anything, judges the first datagram that
// arrives and returns its sender's address. The network stack must have
// been started. The socket it opens is closed before it returns.
server_address_text find_korvelin_server();

// Writes "http://" followed by address into url, NUL-terminated. False,
// leaving url empty, when the URL would not fit.
bool build_server_url(const char* address, char (&url)[url_buffer_size]);

// Opens http://ADDRESS in the user's default browser without waiting for
// it (see desktop::open_url). Does nothing for an address too long to fit.
void open_in_default_browser(const char* address);

// Warns the user, never silently, and returns once the warning is over:
// a standalone box with one OK button, dismissed by the user, where the
// platform or a desktop tool can show one; "CAPTION: TEXT" on standard
// error where none can, or where the tool failed (see desktop::show_warning).
void show_message_box(const char* caption, const char* text);

// The whole program: start the network stack, discover, open the page or
// warn, stop the stack. Always returns 0, the exit status.
int run_launcher();

}  // namespace detect

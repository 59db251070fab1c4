// A scripted substitute for the socket layer and the desktop actions: it
// answers from a script and writes down every call in order.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "firewall.h"
#include "journey_data.h"
#include "net.h"

struct fake_reply {
    std::string bytes;
    std::uint32_t sender = 0;
    net::error_code error = 0;  // not 0: the receive fails with it
    std::int64_t takes_microseconds = 10000;  // on the fake's clock
};

// One TCP connection, in the order they are made.
struct fake_connection {
    net::error_code connect_error = 0;    // not 0: the connect fails with it
    std::int64_t connect_takes = 2000;    // on the fake's clock
    std::deque<std::string> chunks = {};  // one a receive, in order
    bool stays_open = false;              // after the chunks: waits time out, else the end (0)
    net::error_code receive_error = 0;    // not 0: after the chunks, the receive fails with it
};

// What the platform does when asked. Queues run dry into the ordinary
// outcome: success, time-out.
struct fake_script {
    bool stack_starts = true;
    std::deque<bool> socket_opens = {};  // false: that open fails
    bool broadcast_allowed = true;
    bool unreachable_errors_off = true;
    bool interfaces_listed = true;
    std::vector<net::interface_address> interfaces = {};
    std::vector<std::string> names = {};  // by row; "if" and the link's index where none
    bool names_read = true;               // false: no name can be had
    std::optional<std::uint32_t> own_source = {};  // where the platform's broadcast leaves from
    std::deque<bool> sends_succeed = {};
    std::deque<bool> direct_sends_succeed = {};  // on the second socket opened
    std::deque<bool> copies_succeed = {};
    std::deque<int> wait_results = {};    // the first socket's: 1 readable, 0 timed out, -1 failed
    std::deque<int> direct_waits = {};    // the second's, each positive one readable, taken first
    std::deque<fake_reply> replies = {};  // received in order; none left: the receive fails
    std::deque<fake_reply> direct_replies = {};  // on the second socket opened, likewise
    firewall::state firewall = {};
    net::error_code adapters_error = 0;  // not 0: no adapter can be identified
    std::deque<fake_connection> connections = {};  // none left: the connect is refused
    detect::http_program program = {};
    detect::proxy_settings proxy = {};
    std::optional<std::uint32_t> resolved = {};  // the proxy's name; none: the resolver fails
    net::error_code failure = 101;        // the error of every other call that fails
    std::string error_text = {};          // not empty: the system's text for every error
};

// One datagram asked to be sent, and whether it left.
struct fake_datagram {
    net::socket_handle socket = 0;
    net::copy_destination to;  // link 0 for a plain send
    bool copy = false;
    bool left = false;
};

struct fake_platform {
    fake_script script;

    // What was asked of it.
    // The calls that are behaviour, in order; a copy is a "send" too, as
    // the order of one attempt's datagrams is nobody's business.
    std::string calls;   // e.g. "socket send send wait receive close"
    std::string set_up;  // e.g. "broadcast interfaces route", in the order made
    std::vector<net::ipv4_endpoint> destinations;  // of the sends, not the copies
    std::vector<net::copy_destination> copies;     // where each copy went
    std::vector<std::string> payloads;
    std::vector<fake_datagram> datagrams;  // sends and copies alike, in order
    std::vector<long> wait_timeouts;
    std::size_t receive_capacity = 0;
    // Advanced by every wait that times out, and by each receive.
    std::int64_t now_microseconds = 0;
    net::error_code last_error = 0;
    std::string written;  // through the console
    int sockets_open = 0;
    std::vector<std::string> opened_urls;
    std::vector<net::ipv4_endpoint> connected;  // TCP, in order
    std::vector<std::string> requests;         // sent on them
    std::vector<fake_connection> connections;  // by socket, from 100 on
    std::vector<std::string> warnings;  // "caption|text"
};

// The one fake the layer functions talk to; fresh for every test, with
// the script given.
fake_platform& fake();
void reset_fake(const fake_script& script = {});

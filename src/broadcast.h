// One discovery's sends, shared by the launcher and the probe so that both
// ask exactly the same networks in exactly the same way. The launcher
// ignores every failure; the probe passes somewhere to keep them.
#pragma once

#include <array>

#include "net.h"
#include "segments.h"

namespace detect {

// What failed while the discovery socket was made; 0 for what did not.
struct socket_trouble {
    net::error_code open_error = 0;       // the second open's, when both failed
    net::error_code broadcast_error = 0;  // permission to broadcast refused
};

// An unbound UDP socket allowed to broadcast, deaf to ICMP errors; a
// failed open is tried once more at once. invalid_socket when both fail.
net::socket_handle open_discovery_socket(socket_trouble* trouble = nullptr);

// Decides each of rows, the host's interface addresses as listed through
// socket, asking the platform where its own broadcast leaves.
segment_plan plan_segments(net::socket_handle socket, std::span<const net::interface_address> rows);

// Lists the host's interface addresses once and decides each of them; a
// list that fails leaves the platform's own broadcast alone.
segment_plan plan_segments(net::socket_handle socket);

// The refused sends of the limited broadcast, and each copy's by its row
// in the plan, over every attempt.
struct request_tallies {
    net::failure_tally own;
    std::array<net::failure_tally, net::max_interface_addresses> copies{};
};

// One attempt's sends: the limited broadcast, then a copy to each segment
// the plan gives one. True when at least one went out; one refusing (a
// Hyper-V adapter may) neither stops the others nor fails the attempt.
// Each refusal is counted in tallies, when given.
bool send_request(net::socket_handle socket, const segment_plan& plan,
                  request_tallies* tallies = nullptr);

}  // namespace detect

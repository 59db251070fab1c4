// One discovery's sends, shared by the launcher and the probe so that both
// ask exactly the same networks in exactly the same way.
#pragma once

#include "net.h"
#include "segments.h"

namespace detect {

// An unbound UDP socket allowed to broadcast; a failed open is tried once
// more at once. invalid_socket when both fail.
net::socket_handle open_discovery_socket();

// Decides each of rows, the host's interface addresses as listed through
// socket, asking the platform where its own broadcast leaves.
segment_plan plan_segments(net::socket_handle socket, std::span<const net::interface_address> rows);

// Lists the host's interface addresses once and decides each of them.
segment_plan plan_segments(net::socket_handle socket);

// One attempt's sends: the limited broadcast, then a copy to each segment
// the plan gives one. True when at least one went out; one refusing (a
// Hyper-V adapter may) neither stops the others nor fails the attempt.
bool send_request(net::socket_handle socket, const segment_plan& plan);

}  // namespace detect

#include "broadcast.h"

#include "datagrams.h"

namespace detect {
namespace {

// A send's outcome, with a refusal counted in tally when there is one.
bool counted(bool sent, net::failure_tally* tally) {
    if (!sent && tally != nullptr) {
        net::count_failure(*tally);
    }
    return sent;
}

}  // namespace

net::socket_handle open_discovery_socket(socket_trouble* trouble) {
    net::socket_handle socket = net::open_udp_socket();
    if (socket == net::invalid_socket) {
        socket = net::open_udp_socket();
    }
    if (socket == net::invalid_socket) {
        if (trouble != nullptr) {
            trouble->open_error = net::last_error();
        }
        return socket;
    }
    if (!net::allow_broadcast(socket) && trouble != nullptr) {
        trouble->broadcast_error = net::last_error();
    }
    // Before the first send, so that an ICMP error caused by a copy never
    // stands in for the first datagram. Refused, the launcher goes on as
    // before: the first datagram is still the only one judged.
    net::ignore_unreachable_errors(socket);
    return socket;
}

segment_plan plan_segments(net::socket_handle socket, std::span<const net::interface_address> rows) {
    return decide_segments(rows, net::limited_broadcast_source(socket, discovery_port),
                           net::copy_reaches, discovery_port);
}

segment_plan plan_segments(net::socket_handle socket) {
    std::array<net::interface_address, net::max_interface_addresses> rows;
    const std::size_t count = net::list_interface_addresses(socket, rows).value_or(0);
    return plan_segments(socket, {rows.data(), count});
}

bool send_request(net::socket_handle socket, const segment_plan& plan, request_tallies* tallies) {
    bool sent = counted(net::send_datagram(socket, discovery_request.data(), discovery_request.size(),
                                           {limited_broadcast, discovery_port}),
                        tallies != nullptr ? &tallies->own : nullptr);
    for (std::size_t row = 0; row < plan.count; ++row) {
        const segment_decision& decision = plan.rows[row];
        if (decision.verdict == segment_verdict::copy) {
            sent = counted(net::send_copy(socket, discovery_request.data(),
                                          discovery_request.size(), decision.copy),
                           tallies != nullptr ? &tallies->copies[row] : nullptr) ||
                   sent;
        }
    }
    return sent;
}

}  // namespace detect

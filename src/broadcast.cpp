#include "broadcast.h"

#include <array>

#include "datagrams.h"

namespace detect {

net::socket_handle open_discovery_socket() {
    net::socket_handle socket = net::open_udp_socket();
    if (socket == net::invalid_socket) {
        socket = net::open_udp_socket();
    }
    if (socket != net::invalid_socket) {
        net::allow_broadcast(socket);
    }
    return socket;
}

segment_plan plan_segments(net::socket_handle socket, std::span<const net::interface_address> rows) {
    return decide_segments(rows, net::limited_broadcast_source(socket, discovery_port),
                           net::copy_reaches, discovery_port);
}

segment_plan plan_segments(net::socket_handle socket) {
    std::array<net::interface_address, net::max_interface_addresses> rows;
    const std::size_t count = net::list_interface_addresses(socket, rows);
    return plan_segments(socket, {rows.data(), count});
}

bool send_request(net::socket_handle socket, const segment_plan& plan) {
    bool sent = net::send_datagram(socket, discovery_request.data(), discovery_request.size(),
                                   {limited_broadcast, discovery_port});
    for (const segment_decision& decision : plan.list()) {
        if (decision.verdict == segment_verdict::copy) {
            sent = net::send_copy(socket, discovery_request.data(), discovery_request.size(),
                                  decision.copy) ||
                   sent;
        }
    }
    return sent;
}

}  // namespace detect

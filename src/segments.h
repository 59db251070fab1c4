// Which of the host's interface addresses get a copy of each discovery
// request besides the one that the platform's own limited broadcast
// reaches, and why each of the others gets none. A limited broadcast leaves
// through one interface only, and on a PC with a VPN, Hyper-V or Docker
// adapter that is often not the LAN the server is on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "net.h"

namespace detect {

// More than this many segments are not sent to; the rest are dropped.
inline constexpr std::size_t max_copy_segments = 32;

// What becomes of one listed address, and why.
enum class segment_verdict : unsigned char {
    own_broadcast,  // the platform's own limited broadcast reaches its segment
    copy,           // gets a copy of each request
    loopback,
    down,
    point_to_point,
    too_narrow,     // a /31 or /32: no broadcast address of its own
    no_broadcast,   // the interface cannot carry a broadcast
    no_subnet,      // listed without a netmask
    no_link,        // the platform did not say which link to steer through
    same_segment,   // another row's copy reaches it already
    beyond_limit,   // past the max_copy_segments'th segment
};

struct segment_decision {
    net::interface_address row;
    segment_verdict verdict = segment_verdict::no_broadcast;
    // For a copy, where it goes; for own_broadcast or same_segment, the
    // address of the row that reaches this segment already.
    net::copy_destination copy{};
    std::uint32_t reached_through = 0;
};

// One decision for each listed row, in the order the platform listed them.
struct segment_plan {
    std::array<segment_decision, net::max_interface_addresses> rows{};
    std::size_t count = 0;
    // The platform's own broadcast leaves through loopback, and so reaches
    // no network: Windows keeps a route for it there when every adapter is
    // down.
    bool own_broadcast_on_loopback = false;

    [[nodiscard]] std::span<const segment_decision> list() const { return {rows.data(), count}; }
};

// Decides every row, the first max_interface_addresses of them. A row gets
// a copy when its segment can carry a broadcast (not loopback, up, not
// point-to-point, broadcast-capable, with a netmask, wider than /31, and
// on links with a known link index: the first of these that fails is its
// verdict) and neither own_source's segment (the address the platform's
// own limited broadcast leaves from; none when there is no route for it)
// nor an earlier copy reaches it. Only the first max_copy_segments
// segments get one; later ones are beyond_limit. An own_source on
// loopback (in 127.0.0.0/8, or a row flagged loopback) reaches no
// segment: no row is own_broadcast then. kind says what one copy reaches,
// and so which rows share a segment: a whole link (rows with one link
// index), steered through with the limited broadcast, or one subnet (rows
// with one netmask and network number), at its directed broadcast
// address. port is the copy's.
segment_plan decide_segments(std::span<const net::interface_address> rows,
                             std::optional<std::uint32_t> own_source, net::segment_kind kind,
                             std::uint16_t port);

// The short reason for a verdict, as the probe prints it.
const char* describe(segment_verdict verdict);

}  // namespace detect

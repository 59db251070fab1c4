#include "segments.h"

#include <algorithm>

namespace detect {
namespace {

// Why a row cannot take a copy at all, or none when it can.
std::optional<segment_verdict> unusable(const net::interface_address& row,
                                        net::segment_kind kind) {
    using enum segment_verdict;
    if (row.loopback) {
        return loopback;
    }
    if (!row.up) {
        return down;
    }
    if (row.point_to_point) {
        return point_to_point;
    }
    if (!row.broadcast) {
        return no_broadcast;
    }
    if (row.netmask == 0) {
        return no_subnet;
    }
    if (~row.netmask <= 1) {
        return too_narrow;
    }
    if (kind == net::segment_kind::link && row.link == 0) {
        return no_link;
    }
    return std::nullopt;
}

// Subnets are the same only with the same mask: 10.1.2.3/8 and 10.0.5.5/16
// share a network number but not a broadcast address.
bool on_one_segment(const net::interface_address& a, const net::interface_address& b,
                  net::segment_kind kind) {
    if (kind == net::segment_kind::link) {
        return a.link == b.link;
    }
    return a.netmask == b.netmask && (a.address & a.netmask) == (b.address & b.netmask);
}

const net::interface_address* row_with_address(std::span<const net::interface_address> rows,
                                               std::optional<std::uint32_t> address) {
    for (const net::interface_address& row : rows) {
        if (address && row.address == *address) {
            return &row;
        }
    }
    return nullptr;
}

// A limited broadcast steered through the link reaches every subnet on it;
// a directed broadcast, computed here because Windows often lists
// 255.255.255.255 as an interface's broadcast address, reaches one subnet.
net::copy_destination copy_for(const net::interface_address& row, net::segment_kind kind,
                               std::uint16_t port) {
    if (kind == net::segment_kind::link) {
        return {{0xFFFFFFFFu, port}, row.link};
    }
    return {{row.address | ~row.netmask, port}, 0};
}

}  // namespace

segment_plan decide_segments(std::span<const net::interface_address> rows,
                             std::optional<std::uint32_t> own_source, net::segment_kind kind,
                             std::uint16_t port) {
    using enum segment_verdict;
    // The platform's broadcast already reaches its own segment: a copy
    // there would make a server answer twice.
    const net::interface_address* own = row_with_address(rows, own_source);
    segment_plan plan;
    plan.own_broadcast_on_loopback =
        own_source && ((*own_source >> 24) == 127 || (own != nullptr && own->loopback));
    if (plan.own_broadcast_on_loopback) {
        own = nullptr;
    }
    std::size_t copies = 0;
    for (const net::interface_address& row : rows.first(std::min(rows.size(), plan.rows.size()))) {
        segment_decision& decision = plan.rows[plan.count++];
        decision.row = row;
        if (own != nullptr && row.address == own->address) {
            decision.verdict = own_broadcast;
            decision.reached_through = own->address;
            continue;
        }
        if (const std::optional<segment_verdict> reason = unusable(row, kind)) {
            decision.verdict = *reason;
            continue;
        }
        if (own != nullptr && on_one_segment(row, *own, kind)) {
            decision.verdict = own_broadcast;
            decision.reached_through = own->address;
            continue;
        }
        decision.verdict = copies < max_copy_segments ? copy : beyond_limit;
        for (const segment_decision& earlier : plan.list().first(plan.count - 1)) {
            if (earlier.verdict == copy && on_one_segment(earlier.row, row, kind)) {
                decision.verdict = same_segment;
                decision.reached_through = earlier.row.address;
                break;
            }
        }
        if (decision.verdict == copy) {
            decision.copy = copy_for(row, kind, port);
            ++copies;
        }
    }
    return plan;
}

const char* describe(segment_verdict verdict) {
    switch (verdict) {
        using enum segment_verdict;
    case own_broadcast: return "the platform's own broadcast";
    case copy: return "a copy";
    case loopback: return "loopback";
    case down: return "down";
    case point_to_point: return "point-to-point";
    case too_narrow: return "/31 or /32, no broadcast address";
    case no_broadcast: return "cannot broadcast";
    case no_subnet: return "no netmask";
    case no_link: return "link unknown";
    case same_segment: return "same segment as another row";
    case beyond_limit:
        static_assert(max_copy_segments == 32, "the text names the limit");
        return "beyond the 32nd segment";
    }
    return "?";
}

}  // namespace detect

#include "segments.h"

namespace detect {
namespace {

bool can_take_copy(const net::interface_address& row, net::segment_kind kind) {
    // A /31 or /32 has no broadcast address of its own, and a row without a
    // netmask names no subnet; a link must be known to be steered through.
    const std::uint32_t host_part = ~row.netmask;
    return row.up && row.broadcast && !row.loopback && !row.point_to_point &&
           row.netmask != 0 && host_part > 1 &&
           (kind == net::segment_kind::subnet || row.link != 0);
}

bool same_segment(const net::interface_address& a, const net::interface_address& b,
                  net::segment_kind kind) {
    if (kind == net::segment_kind::link) {
        return a.link == b.link;
    }
    return a.netmask == b.netmask && (a.address & a.netmask) == (b.address & b.netmask);
}

bool holds_segment_of(std::span<const net::interface_address> segments,
                      const net::interface_address& row, net::segment_kind kind) {
    for (const net::interface_address& segment : segments) {
        if (same_segment(segment, row, kind)) {
            return true;
        }
    }
    return false;
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

}  // namespace

copy_segments choose_copy_segments(std::span<const net::interface_address> rows,
                                   std::optional<std::uint32_t> own_source,
                                   net::segment_kind kind) {
    // The platform's broadcast already reached its own segment: a second,
    // directed copy there would make a server answer twice.
    const net::interface_address* own = row_with_address(rows, own_source);
    copy_segments chosen;
    for (const net::interface_address& row : rows) {
        if (!can_take_copy(row, kind) || (own != nullptr && same_segment(row, *own, kind)) ||
            holds_segment_of(chosen.list(), row, kind)) {
            continue;
        }
        if (chosen.count == chosen.rows.size()) {
            break;
        }
        chosen.rows[chosen.count++] = row;
    }
    return chosen;
}

}  // namespace detect

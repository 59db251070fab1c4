// Which attached segments get a copy of each discovery request besides the
// one that the platform's own limited broadcast reaches. A limited
// broadcast leaves through one interface only, and on a PC with a VPN,
// Hyper-V or Docker adapter that is often not the LAN the server is on.
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

// One interface address for each segment that gets a copy, in the order
// the platform listed them.
struct copy_segments {
    std::array<net::interface_address, max_copy_segments> rows{};
    std::size_t count = 0;

    [[nodiscard]] std::span<const net::interface_address> list() const {
        return {rows.data(), count};
    }
};

// Picks, from the host's interface addresses, one row for each segment that
// can carry a broadcast (up, broadcast-capable, neither loopback nor
// point-to-point, wider than /31), except the segment of own_source, the
// address the platform's own limited broadcast leaves from; with no
// own_source (no route for that broadcast) every such segment is picked.
// kind says what one copy reaches: a whole link, or one subnet.
copy_segments choose_copy_segments(std::span<const net::interface_address> rows,
                                   std::optional<std::uint32_t> own_source,
                                   net::segment_kind kind);

}  // namespace detect

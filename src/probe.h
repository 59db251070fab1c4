// The probe: one discovery sent exactly as the launcher sends it, but
// listening through all five waits and keeping every answer, so that it
// can say which networks were asked, what answered, what failed and
// why, and what the launcher would do.
#pragma once

#include <cstdint>
#include <optional>

#include "net.h"
#include "probe_data.h"

namespace detect {

// Runs one discovery: the launcher's socket, segments and sends, five
// attempts, with the same request to direct_address by unicast beside each
// attempt's broadcast when it is not 0. After each attempt that sent anything comes a listening
// window that closes 500 ms after that attempt's sends, in which every
// datagram that arrives is received and judged; a wait that fails closes
// it early, as it ends the launcher's wait. An attempt whose sends were
// all refused gets no window, as in the launcher, and one whose broadcast
// was refused listens on the direct request's socket alone. The firewall
// and the networks' categories are read after the last window. Only the first receive
// decides the outcome, as in the launcher. The network stack must have
// been started; the socket is closed before it returns.
probe_report run_probe(std::uint32_t direct_address = 0);

// Whether address can be asked directly: a unicast address outside 0/8,
// 127/8 and 224/3 (multicast, reserved, the limited broadcast).
bool can_ask_directly(std::uint32_t address);

// The interface address whose segment's directed broadcast address is
// address: asked "directly", it would be a broadcast on that segment.
// Lists the system's addresses through a socket of its own, and sends
// nothing; none when no listed segment has that broadcast address, or when
// nothing could be listed. The network stack must have been started.
std::optional<net::interface_address> segment_broadcasting_to(std::uint32_t address);

}  // namespace detect

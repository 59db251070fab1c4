// What the probe's measurements tell beyond what the launcher would do:
// of the server the desk named, and of the firewall. Chosen from the
// report alone, so that one table can test every combination and the
// fuzzer the rules that keep each sentence earned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "probe_data.h"

namespace detect {

// What the direct request tells, in the conclusion's one more sentence.
enum class direct_finding : unsigned char {
    not_asked,
    not_sent,             // no direct request left: no socket, or every send refused
    also_broadcast,       // the address answered the broadcast too
    other_also_broadcast, // another address answered it, and the broadcast too
    other_instead,        // another address answered it, and not the broadcast
    unanswered,           // nothing accepted came back to it
    rejected,             // the address's first answer failed the acceptance rule
    behind_router,        // accepted from the address, on no attached segment
    not_broadcast_there,  // accepted from it, on an attached segment the launcher does not ask
    broadcast_dropped,    // accepted from it, on a segment asked, no answer to the broadcast
};

// Whether a firewall profile is named, and how surely.
enum class firewall_finding : unsigned char {
    none,
    cause,     // the profile that applies to the network in question prohibits the answers
    possible,  // no network's category could be read: the active profiles that prohibit them
};

struct probe_verdict {
    direct_finding direct = direct_finding::not_asked;
    const probe_sender* other = nullptr;  // the other address that answered the direct request
    firewall_finding firewall = firewall_finding::none;
    unsigned profiles = 0;  // the profiles named, as firewall::profile bits
};

probe_verdict judge(const probe_report& report);

// The sender of senders whose address is address, if any.
const probe_sender* sender_at(std::span<const probe_sender> senders, std::uint32_t address);

// Whether the launcher's own broadcast or a copy of it went out on row's
// segment in at least one attempt.
bool segment_asked(const probe_report& report, std::size_t row);

// The row of the plan whose subnet holds address (not loopback, with a
// netmask, up or not), one the launcher asked where several do; none when
// no attached segment holds it.
std::optional<std::size_t> attached_segment_of(const probe_report& report, std::uint32_t address);

// A profile that is on and prohibits unicast answers to a broadcast: it
// drops every server's answer to the launcher.
bool drops_broadcast_answers(const firewall::profile_state& profile);

// The probe's exit status: 0 the launcher would open a page, 1 it would
// show the box, 2 the probe could not ask any network (it would show the
// box too).
int exit_status(probe_outcome outcome);

}  // namespace detect

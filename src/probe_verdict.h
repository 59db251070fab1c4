// What the probe's measurements tell beyond what the launcher would do:
// of the server the desk named, and of the firewall. Chosen from the
// report alone, and carrying every fact its sentences use, so that a table
// of hand-made reports tests each finding and the sentences look nothing
// up again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "journey.h"
#include "probe_data.h"

namespace detect {

// What the direct request tells, in the conclusion's one more sentence.
enum class direct_finding : unsigned char {
    not_asked,
    not_sent,             // no direct request left: no socket, or every send refused
    also_broadcast,       // the address answered the broadcast too
    other_also_broadcast, // another address answered it, and the broadcast too
    other_instead,        // another address answered it, and not the broadcast
    unanswered,           // nothing came back to it, or nothing that was accepted
    unreadable,           // nothing accepted came back, and a datagram could not be read
    rejected,             // the address's first answer failed the acceptance rule
    behind_router,        // accepted from the address, on no attached segment
    not_broadcast_there,  // accepted from it, on an attached segment the launcher does not ask
    broadcast_dropped,    // accepted from it, on a segment asked, no answer to the broadcast
    broadcast_unread,     // the same, but a datagram to the broadcast could not be read:
                          // it may have been the address's answer
};

// Whether a firewall profile is named, and how surely.
// The networks in question are the server's own segment's where the
// address asked answered from one that was asked; otherwise, without an
// address or with no direct request sent, every network asked.
enum class firewall_finding : unsigned char {
    none,
    cause,     // every network in question has a profile that prohibits the answers
    if_there,  // some have, the others' allow them: the cause only if the server is on one of those
    possible,  // a network in question has no known category: the active profiles that prohibit them
};

// Why the category of a network in question is not known.
enum class unknown_category : unsigned char {
    no_network,      // Windows gave its adapter no network
    unreadable,      // the category could not be read: the HRESULT is the table's
    not_identified,  // the adapters could not be identified, so no network was found for it
};

struct probe_verdict {
    direct_finding direct = direct_finding::not_asked;
    const probe_sender* own = nullptr;    // the address's own first answer to the direct request
    const probe_sender* other = nullptr;  // the other address that answered it in its place
    firewall_finding firewall = firewall_finding::none;
    unsigned profiles = 0;  // the profiles named, as firewall::profile bits
    // The segment rows the firewall's sentence names: those the named
    // profiles apply to (cause, if_there), or those of unknown category
    // (possible); every one with unknown's reason.
    std::array<bool, net::max_interface_addresses> rows{};
    std::array<unknown_category, net::max_interface_addresses> unknown{};
    bool unlisted_network = false;  // possible: the broadcast reached a network no row names
    page_verdict page;  // the journey to the page, after the hand-off
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

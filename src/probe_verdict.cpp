#include "probe_verdict.h"

#include <algorithm>
#include <numeric>

namespace detect {
namespace {

direct_finding judge_direct(const probe_report& report, const probe_sender*& other) {
    const direct_request& direct = report.direct;
    if (direct.address == 0) {
        return direct_finding::not_asked;
    }
    // Nothing left: whatever came back, and whatever the broadcast found,
    // says nothing of this address.
    if (direct.sent == 0) {
        return direct_finding::not_sent;
    }
    if (sender_at(report.listed(), direct.address) != nullptr) {
        return direct_finding::also_broadcast;
    }
    const probe_sender* own = sender_at(direct.listed(), direct.address);
    if (own == nullptr) {
        // Only the asked address's datagrams are its answers; a server
        // with two addresses answers from its first.
        const auto accepted = std::ranges::find_if(direct.listed(), [](const probe_sender& sender) {
            return sender.verdict == reply_verdict::accepted;
        });
        if (accepted == direct.listed().end()) {
            return direct_finding::unanswered;
        }
        other = &*accepted;
        return sender_at(report.listed(), other->address) != nullptr ? direct_finding::other_also_broadcast
                                                                     : direct_finding::other_instead;
    }
    if (own->verdict != reply_verdict::accepted) {
        return direct_finding::rejected;
    }
    if (!direct.segment) {
        return direct_finding::behind_router;
    }
    return segment_asked(report, *direct.segment) ? direct_finding::broadcast_dropped
                                                  : direct_finding::not_broadcast_there;
}

// The active profiles that drop every answer, as profile bits.
unsigned prohibiting_profiles(const firewall::state& state) {
    const std::span active{state.active.data(), state.active_count};
    return std::accumulate(active.begin(), active.end(), 0U, [](unsigned bits, const firewall::profile_state& profile) {
        return bits | (drops_broadcast_answers(profile) ? static_cast<unsigned>(profile.kind) : 0U);
    });
}

// Named only when nothing answered the broadcast, the asked address (if
// any) answered from a segment that was asked, and the profile of that
// segment's network, or of a network asked, prohibits unicast answers.
// Where no network's category is known, the active profiles that prohibit
// them are only possible causes.
void judge_firewall(const probe_report& report, probe_verdict& verdict) {
    const firewall::state& state = report.firewall;
    if (!state.present || report.outcome != probe_outcome::no_answer ||
        (verdict.direct != direct_finding::not_asked && verdict.direct != direct_finding::broadcast_dropped)) {
        return;
    }
    const unsigned prohibiting = prohibiting_profiles(state);
    unsigned applying = 0;
    bool any_unknown = report.segments.count == 0;
    for (std::size_t row = 0; row < report.segments.count; ++row) {
        const bool in_question = verdict.direct == direct_finding::broadcast_dropped
                                     ? row == *report.direct.segment
                                     : segment_asked(report, row);
        if (in_question && state.categories[row].known) {
            applying |= static_cast<unsigned>(state.categories[row].kind);
        } else if (in_question) {
            any_unknown = true;
        }
    }
    if ((applying & prohibiting) != 0) {
        verdict.firewall = firewall_finding::cause;
        verdict.profiles = applying & prohibiting;
    } else if (applying == 0 && any_unknown && prohibiting != 0) {
        verdict.firewall = firewall_finding::possible;
        verdict.profiles = prohibiting;
    }
}

}  // namespace

probe_verdict judge(const probe_report& report) {
    probe_verdict verdict;
    verdict.direct = judge_direct(report, verdict.other);
    judge_firewall(report, verdict);
    return verdict;
}

const probe_sender* sender_at(std::span<const probe_sender> senders, std::uint32_t address) {
    const auto found = std::ranges::find_if(senders, [&](const probe_sender& sender) { return sender.address == address; });
    return found == senders.end() ? nullptr : &*found;
}

bool segment_asked(const probe_report& report, std::size_t row) {
    const segment_decision& decision = report.segments.rows[row];
    if (report.outcome == probe_outcome::no_socket) {
        return false;
    }
    switch (decision.verdict) {
    case segment_verdict::own_broadcast:
        return report.refused_sends.own.count < static_cast<unsigned>(discovery_attempts);
    case segment_verdict::copy:
        return report.refused_sends.copies[row].count < static_cast<unsigned>(discovery_attempts);
    case segment_verdict::same_segment:
        // Asked as the row that reaches it is: an earlier one, so no loop.
        for (std::size_t other = 0; other < row; ++other) {
            if (report.segments.rows[other].row.address == decision.reached_through) {
                return segment_asked(report, other);
            }
        }
        return false;
    default: return false;
    }
}

std::optional<std::size_t> attached_segment_of(const probe_report& report, std::uint32_t address) {
    std::optional<std::size_t> found;
    for (std::size_t row = 0; row < report.segments.count; ++row) {
        const net::interface_address& held = report.segments.rows[row].row;
        if (!held.loopback && held.netmask != 0 && (held.address & held.netmask) == (address & held.netmask) &&
            (!found || (!segment_asked(report, *found) && segment_asked(report, row)))) {
            found = row;
        }
    }
    return found;
}

bool drops_broadcast_answers(const firewall::profile_state& profile) {
    return profile.enabled.error == 0 && profile.enabled.value &&
           profile.unicast_answers_prohibited.error == 0 && profile.unicast_answers_prohibited.value;
}

int exit_status(probe_outcome outcome) {
    switch (outcome) {
    case probe_outcome::opens_page: return 0;
    case probe_outcome::first_rejected:
    case probe_outcome::first_unreadable:
    case probe_outcome::no_answer: return 1;
    case probe_outcome::no_socket:
    case probe_outcome::sends_refused:
    case probe_outcome::no_network: return 2;
    }
    return 2;
}

}  // namespace detect

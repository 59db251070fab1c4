#include "probe_verdict.h"

#include <algorithm>
#include <numeric>

namespace detect {
namespace {

bool accepted(const probe_sender& sender) { return sender.verdict == reply_verdict::accepted; }

void judge_direct(const probe_report& report, probe_verdict& verdict) {
    const direct_request& direct = report.direct;
    if (direct.address == 0) {
        verdict.direct = direct_finding::not_asked;
        return;
    }
    // Nothing left: whatever came back, and whatever the broadcast found,
    // says nothing of this address.
    if (direct.sent == 0) {
        verdict.direct = direct_finding::not_sent;
        return;
    }
    if (sender_at(report.listed(), direct.address) != nullptr) {
        verdict.direct = direct_finding::also_broadcast;
        return;
    }
    verdict.own = sender_at(direct.listed(), direct.address);
    if (verdict.own == nullptr) {
        // Only the asked address's datagrams are its answers; a server
        // with two addresses answers from its first. Another address's
        // rejected datagram is no server answering in its place.
        const auto found = std::ranges::find_if(direct.listed(), accepted);
        if (found != direct.listed().end()) {
            verdict.other = &*found;
            verdict.direct = sender_at(report.listed(), verdict.other->address) != nullptr
                                 ? direct_finding::other_also_broadcast
                                 : direct_finding::other_instead;
        } else {
            verdict.direct = direct.failed_receives.count > 0 ? direct_finding::unreadable : direct_finding::unanswered;
        }
        return;
    }
    if (!accepted(*verdict.own)) {
        verdict.direct = direct_finding::rejected;
    } else if (!direct.segment) {
        verdict.direct = direct_finding::behind_router;
    } else if (!segment_asked(report, *direct.segment)) {
        verdict.direct = direct_finding::not_broadcast_there;
    } else {
        // A datagram to the broadcast that could not be read may have been
        // its answer: nothing then says that the broadcast was dropped.
        verdict.direct = report.failed_receives.count > 0 ? direct_finding::broadcast_unread
                                                          : direct_finding::broadcast_dropped;
    }
}

// The active profiles that drop every answer, as profile bits.
unsigned prohibiting_profiles(const firewall::state& state) {
    const std::span active{state.active.data(), state.active_count};
    return std::accumulate(active.begin(), active.end(), 0U, [](unsigned bits, const firewall::profile_state& profile) {
        return bits | (drops_broadcast_answers(profile) ? static_cast<unsigned>(profile.kind) : 0U);
    });
}

// Whether the system's own broadcast went out, in some attempt, by an
// adapter that no row of the plan names: its network is one in question
// whose category nobody read.
bool broadcast_left_unlisted(const probe_report& report) {
    const std::span rows = report.segments.list();
    return !report.segments.own_broadcast_on_loopback &&
           report.refused_sends.own.count < static_cast<unsigned>(discovery_attempts) &&
           std::ranges::none_of(rows, [](const segment_decision& row) { return row.verdict == segment_verdict::own_broadcast; });
}

// Named only when nothing answered the broadcast and the networks in
// question are known: the server's own segment, where the asked address
// answered from one that was asked; every network asked where no address
// was given or no direct request left. The likely cause only when every
// one of them has a profile that prohibits unicast answers; where only
// some have, the cause if the server is on one of those; where a category
// is unknown, the active profiles that prohibit them are possibilities.
void judge_firewall(const probe_report& report, probe_verdict& verdict) {
    const firewall::state& state = report.firewall;
    const bool every_network = verdict.direct == direct_finding::not_asked || verdict.direct == direct_finding::not_sent;
    if (!state.present || report.outcome != probe_outcome::no_answer ||
        (!every_network && verdict.direct != direct_finding::broadcast_dropped)) {
        return;
    }
    const unsigned prohibiting = prohibiting_profiles(state);
    const auto in_question = [&](std::size_t row) {
        return every_network ? segment_asked(report, row) : row == *report.direct.segment;
    };
    const auto prohibits_there = [&](const firewall::category_reading& category) {
        return category.known && (static_cast<unsigned>(category.kind) & prohibiting) != 0;
    };
    verdict.unlisted_network = every_network && (report.segments.count == 0 || broadcast_left_unlisted(report));
    bool any_unknown = verdict.unlisted_network;
    bool any_allowed = false;
    for (std::size_t row = 0; row < report.segments.count; ++row) {
        const firewall::category_reading& category = state.categories[row];
        if (in_question(row)) {
            any_unknown = any_unknown || !category.known;
            any_allowed = any_allowed || (category.known && !prohibits_there(category));
            verdict.profiles |= prohibits_there(category) ? static_cast<unsigned>(category.kind) : 0U;
        }
    }
    if (any_unknown) {
        verdict.firewall = prohibiting != 0 ? firewall_finding::possible : firewall_finding::none;
        verdict.profiles = prohibiting;
    } else if (verdict.profiles != 0) {
        verdict.firewall = any_allowed ? firewall_finding::if_there : firewall_finding::cause;
    }
    // The rows named: those of unknown category where a profile is only
    // possible, otherwise those whose profile prohibits the answers.
    for (std::size_t row = 0; row < report.segments.count; ++row) {
        const firewall::category_reading& category = state.categories[row];
        verdict.rows[row] = in_question(row) && (any_unknown ? !category.known : prohibits_there(category));
        verdict.unknown[row] = category.error != 0         ? unknown_category::unreadable
                               : report.adapters_error != 0 ? unknown_category::not_identified
                                                            : unknown_category::no_network;
    }
}

}  // namespace

probe_verdict judge(const probe_report& report) {
    probe_verdict verdict;
    judge_direct(report, verdict);
    judge_firewall(report, verdict);
    verdict.page = judge_page(report.page);
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
        // Asked as the earlier copy that reaches it is; two adapters may
        // hold one address, so the copy is told by its verdict too.
        for (std::size_t other = 0; other < row; ++other) {
            const segment_decision& earlier = report.segments.rows[other];
            if (earlier.verdict == segment_verdict::copy && earlier.row.address == decision.reached_through &&
                segment_asked(report, other)) {
                return true;
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

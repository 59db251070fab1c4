#include "probe.h"

#include <algorithm>
#include <cstring>

#include "broadcast.h"
#include "probe_verdict.h"

namespace detect {
namespace {

// Room for any UDP datagram over IPv4, so that an oversized reply is seen
// and judged rather than lost in a failed receive.
constexpr std::size_t largest_datagram = 65536;
// Senders beyond the listed ones are told apart up to this many.
constexpr std::size_t max_counted_senders = 1024;

struct sender_tally {
    std::array<std::uint32_t, max_counted_senders> unlisted{};
    std::size_t unlisted_count = 0;
    bool received_any = false;       // a receive was made, failed or not
    bool first_receive_failed = false;
};

// Counts a datagram to its sender in senders, or lists the sender, judged
// by this first datagram; false when it is new and the list is full.
bool list_datagram(std::span<probe_sender> senders, std::size_t& count, std::uint32_t sender,
                   const char* data, std::size_t size, long after_ms) {
    for (probe_sender& known : senders.first(count)) {
        if (known.address == sender) {
            ++known.datagrams;
            return true;
        }
    }
    if (count == senders.size()) {
        return false;
    }
    probe_sender& added = senders[count++];
    added.address = sender;
    added.first_after_ms = after_ms;
    added.datagrams = 1;
    added.verdict = judge_reply(data, size);
    added.size = size;
    std::memcpy(added.excerpt.data(), data, std::min(size, added.excerpt.size()));
    return true;
}

void record_datagram(probe_report& report, sender_tally& tally, std::uint32_t sender,
                     const char* data, std::size_t size, long after_ms) {
    if (list_datagram(report.senders, report.sender_count, sender, data, size, after_ms)) {
        return;
    }
    const auto end = tally.unlisted.begin() + static_cast<std::ptrdiff_t>(tally.unlisted_count);
    if (std::find(tally.unlisted.begin(), end, sender) == end &&
        tally.unlisted_count < tally.unlisted.size()) {
        tally.unlisted[tally.unlisted_count++] = sender;
    }
}

// One datagram that reached the direct request's socket, received into
// datagram and kept apart from the broadcast's answers: it never decides
// what the launcher would do.
void collect_direct(net::socket_handle socket, std::span<char> datagram, std::int64_t first_send,
                    direct_request& direct) {
    net::ipv4_endpoint sender;
    const long received = net::receive_datagram(socket, datagram.data(), datagram.size(), sender);
    if (received < 0) {
        net::count_failure(direct.failed_receives);
        return;
    }
    const long after_ms = static_cast<long>((net::monotonic_microseconds() - first_send) / 1000);
    if (!list_datagram(direct.senders, direct.sender_count, sender.address, datagram.data(),
                       static_cast<std::size_t>(received), after_ms)) {
        ++direct.unlisted_datagrams;
    }
}

// Receives and records every datagram, on the discovery socket and the
// direct request's (invalid_socket when there is none), until the
// deadline; returns early only when the wait itself fails.
void collect_until(net::socket_handle socket, net::socket_handle direct_socket, std::int64_t deadline,
                   std::int64_t first_send, probe_report& report, sender_tally& tally) {
    // Where the broadcast was refused, the launcher does not wait: its
    // socket is left for the next attempt's wait, the direct one read alone.
    const bool broadcast_read = socket != net::invalid_socket;
    char datagram[largest_datagram];
    for (;;) {
        const std::int64_t remaining = deadline - net::monotonic_microseconds();
        if (remaining <= 0) {
            return;
        }
        int ready = 0;
        if (broadcast_read) {
            ready = net::wait_until_either_readable(socket, direct_socket, static_cast<long>(remaining));
        } else {
            // Any positive result means readable, not only 1.
            ready = net::wait_until_readable(direct_socket, static_cast<long>(remaining));
            ready = ready > 0 ? 2 : ready;
        }
        if (ready < 0) {
            net::count_failure(report.failed_waits);
        }
        if (ready <= 0) {
            return;
        }
        if ((ready & 2) != 0) {
            collect_direct(direct_socket, datagram, first_send, report.direct);
        }
        if ((ready & 1) == 0) {
            continue;
        }
        net::ipv4_endpoint sender;
        const long received = net::receive_datagram(socket, datagram, sizeof datagram, sender);
        // Its error is read before any other call, the clock's included,
        // can change it.
        if (received < 0) {
            net::count_failure(report.failed_receives);
        }
        const std::int64_t arrived = net::monotonic_microseconds();
        // The launcher reads once, and a failed first receive is its end.
        if (!tally.received_any) {
            tally.received_any = true;
            tally.first_receive_failed = received < 0;
            report.first_receive_error = received < 0 ? report.failed_receives.last_error : 0;
        }
        if (received < 0) {
            continue;
        }
        record_datagram(report, tally, sender.address, datagram, static_cast<std::size_t>(received),
                        static_cast<long>((arrived - first_send) / 1000));
    }
}

// Whether the own broadcast reached no network and no copy went anywhere.
bool asked_no_network(const probe_report& report) {
    if (!report.segments.own_broadcast_on_loopback) {
        return false;
    }
    for (std::size_t row = 0; row < report.segments.count; ++row) {
        if (report.segments.rows[row].verdict == segment_verdict::copy &&
            report.refused_sends.copies[row].count < static_cast<unsigned>(discovery_attempts)) {
            return false;
        }
    }
    return true;
}

}  // namespace

probe_report run_probe(std::uint32_t direct_address) {
    probe_report report;
    const net::socket_guard socket{open_discovery_socket(&report.socket)};
    if (socket.get() == net::invalid_socket) {
        report.outcome = probe_outcome::no_socket;
        return report;
    }
    // The direct request's own socket: what comes back to it is never
    // taken for an answer to the broadcast.
    report.direct.address = direct_address;
    const net::socket_guard direct_socket{direct_address == 0 ? net::invalid_socket : net::open_udp_socket()};
    if (direct_address != 0 && direct_socket.get() == net::invalid_socket) {
        report.direct.socket_error = net::last_error();
    }
    if (direct_socket.get() != net::invalid_socket) {
        net::ignore_unreachable_errors(direct_socket.get());
    }
    // The launcher's list and decisions, and the adapters' names for a
    // person to read, which the launcher has no use for.
    std::array<net::interface_address, net::max_interface_addresses> rows;
    const std::optional<std::size_t> listed = net::list_interface_addresses(socket.get(), rows);
    if (!listed) {
        report.interfaces_listed = false;
        report.list_error = net::last_error();
    }
    const std::size_t count = listed.value_or(0);
    report.segments = plan_segments(socket.get(), {rows.data(), count});
    report.names_error = net::name_interfaces({rows.data(), count}, {report.names.data(), count});
    sender_tally tally;
    std::int64_t first_send = 0;
    bool sent_any = false;
    for (int attempt = 0; attempt < discovery_attempts; ++attempt) {
        const std::int64_t sending = net::monotonic_microseconds();
        const bool broadcast = send_request(socket.get(), report.segments, &report.refused_sends);
        bool direct = false;
        if (direct_socket.get() != net::invalid_socket) {
            direct = net::send_datagram(direct_socket.get(), discovery_request.data(), discovery_request.size(),
                                        {direct_address, discovery_port});
            if (!direct) {
                net::count_failure(report.direct.refused);
            }
        }
        report.direct.sent += direct ? 1 : 0;
        if (!broadcast && !direct) {
            continue;  // as the launcher does: no wait after an attempt that sent nothing
        }
        if (!sent_any) {
            first_send = sending;
            sent_any = true;
        }
        report.attempts_sent += broadcast ? 1 : 0;
        // The launcher's wait starts once its sends are done.
        collect_until(broadcast ? socket.get() : net::invalid_socket, direct_socket.get(),
                      net::monotonic_microseconds() + reply_wait_microseconds, first_send, report, tally);
    }
    report.unlisted_senders = tally.unlisted_count;
    // Read after the discovery, so that its sends leave when the launcher's do.
    std::array<net::adapter_id, net::max_interface_addresses> adapters{};
    report.adapters_error = net::identify_adapters({rows.data(), count}, {adapters.data(), count});
    report.firewall = firewall::read({adapters.data(), count});
    if (report.attempts_sent == 0) {
        report.outcome = probe_outcome::sends_refused;
    } else if (tally.first_receive_failed) {
        report.outcome = probe_outcome::first_unreadable;
    } else if (report.sender_count == 0) {
        report.outcome = asked_no_network(report) ? probe_outcome::no_network : probe_outcome::no_answer;
    } else {
        report.outcome = report.senders[0].verdict == reply_verdict::accepted
                             ? probe_outcome::opens_page
                             : probe_outcome::first_rejected;
    }
    if (direct_address != 0) {
        report.direct.segment = attached_segment_of(report, direct_address);
    }
    return report;
}

bool can_ask_directly(std::uint32_t address) {
    const std::uint32_t first = address >> 24;
    return first != 0 && first != 127 && first < 224;
}

std::optional<net::interface_address> segment_broadcasting_to(std::uint32_t address) {
    const net::socket_guard socket{net::open_udp_socket()};
    std::array<net::interface_address, net::max_interface_addresses> rows;
    const std::size_t count =
        socket.get() == net::invalid_socket ? 0 : net::list_interface_addresses(socket.get(), rows).value_or(0);
    const std::span listed{rows.data(), count};
    // A /31 or /32 has no broadcast address of its own.
    const auto found = std::ranges::find_if(listed, [&](const net::interface_address& row) {
        return !row.loopback && row.netmask != 0 && (row.netmask & 3U) == 0 && (row.address | ~row.netmask) == address;
    });
    return found == listed.end() ? std::nullopt : std::optional{*found};
}

}  // namespace detect

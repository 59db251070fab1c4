// What one run of the probe measured: the plan of segments with their
// names, what was sent and refused, every sender and its first datagram,
// the direct request's exchange and the firewall. Plain data, read by the
// verdict and the report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "broadcast.h"
#include "datagrams.h"
#include "firewall.h"
#include "journey_data.h"
#include "segments.h"

namespace detect {

// At most this many senders are described; more are only counted.
inline constexpr std::size_t max_listed_senders = 64;
// How many bytes of a sender's first datagram are kept to be shown.
inline constexpr std::size_t reply_excerpt_size = 60;

// One host that answered, described by its first datagram.
struct probe_sender {
    std::uint32_t address = 0;
    long first_after_ms = 0;  // after the first send
    unsigned datagrams = 0;
    reply_verdict verdict = reply_verdict::accepted;  // of the first datagram
    std::size_t size = 0;                             // of the first datagram
    std::array<char, reply_excerpt_size> excerpt{};   // its first bytes, raw
};

// The same request sent by unicast to one address that the desk knows,
// from a socket of its own, beside each attempt's broadcast, and what came
// back to that socket.
inline constexpr std::size_t max_direct_senders = 8;
struct direct_request {
    std::uint32_t address = 0;           // 0: none was asked for
    std::optional<std::size_t> segment;  // the plan's row whose subnet holds it
    int sent = 0;                        // of discovery_attempts
    net::failure_tally refused;
    net::error_code socket_error = 0;    // its socket could not be opened
    std::array<probe_sender, max_direct_senders> senders{};
    std::size_t sender_count = 0;
    std::size_t unlisted_datagrams = 0;  // from senders beyond the listed ones
    net::failure_tally failed_receives;

    [[nodiscard]] std::span<const probe_sender> listed() const {
        return {senders.data(), sender_count};
    }
};

// What the probe can tell of this PC's discovery; each is what the
// launcher would do on the same run.
enum class probe_outcome : unsigned char {
    opens_page,        // the first datagram was accepted: the launcher opens its sender's page
    first_rejected,    // the first datagram was rejected: the launcher shows the box
    first_unreadable,  // the first receive failed: the launcher shows the box
    no_answer,         // nothing answered: the launcher shows the box
    no_socket,         // the probe could not ask: no socket
    sends_refused,     // the probe could not ask: every send of every attempt was refused
    no_network,        // the system's own broadcast went to loopback alone and no copy
                       // anywhere: no network was asked
};

struct probe_report {
    segment_plan segments;
    std::array<net::interface_name, net::max_interface_addresses> names{};  // by segment row
    bool names_utf8 = net::names_are_utf8;  // UTF-8 text (Windows), or a kernel's bytes
    net::error_code names_error = 0;       // why no name could be had, if so
    bool interfaces_listed = true;
    net::error_code list_error = 0;
    socket_trouble socket;
    request_tallies refused_sends;
    int attempts_sent = 0;  // attempts of which at least one datagram went out
    std::array<probe_sender, max_listed_senders> senders{};
    std::size_t sender_count = 0;      // listed, in order of arrival
    std::size_t unlisted_senders = 0;  // beyond the listed ones (at least this many)
    net::failure_tally failed_receives;  // datagrams that could not be read
    net::error_code first_receive_error = 0;  // the first receive's, the one the launcher makes
    net::failure_tally failed_waits;
    probe_outcome outcome = probe_outcome::no_answer;
    direct_request direct;
    firewall::state firewall;
    net::error_code adapters_error = 0;  // why the adapters, and so their networks, could not be identified
    page_journey page;  // after the hand-off; filled by follow_hand_off()

    [[nodiscard]] std::span<const probe_sender> listed() const {
        return {senders.data(), sender_count};
    }
};

}  // namespace detect

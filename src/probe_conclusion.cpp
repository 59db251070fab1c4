// The report's last line, what the launcher would do and why, and the
// system's words for an error, as every line of the report gives them.
#include <algorithm>

#include "net.h"
#include "probe_report.h"
#include "utf8.h"

namespace detect {
namespace {

// No line is ever cut: the longest of the conclusions' own words, the
// no-answer one's, are about 200 characters; the direct request's and the
// firewall's sentences add about 650 of their own, two addresses and a
// profile's name.
constexpr std::size_t sentence_words = 1024;
static_assert(report_words + sentence_words + (max_listed_senders + 3) * (longest_address + 2) +
                  2 * longest_error_text <
              longest_line);

// "Network is unreachable (error 101)", in the system's own words; an
// HRESULT's number as 0x80070002.
void add_error(text_line& line, net::error_code code, bool hresult = false) {
    char text[error_text_size] = {};
    net::describe_error(code, text);
    // The system's words are text from outside too: a message may hold
    // line ends, and a translated one its own full stop.
    const std::string_view words = without_final_stop(text);
    // Negated as unsigned: -INT_MIN does not fit an int, nor a 32-bit long.
    const unsigned long magnitude =
        code < 0 ? 0UL - static_cast<unsigned long>(code) : static_cast<unsigned long>(code);
    char hex[11] = "0x";
    for (int digit = 0; digit < 8; ++digit) {
        hex[2 + digit] = "0123456789ABCDEF"[(static_cast<unsigned>(code) >> (28 - 4 * digit)) & 0xF];
    }
    add(line, escape_text(words, true).view(), words.empty() ? "error " : " (error ");
    if (hresult) {
        add(line, hex);
    } else {
        add(line, code < 0 ? "-" : "", decimal_text(magnitude).text);
    }
    add(line, words.empty() ? "" : ")");
}

// " It judges the first answer only; accepted ones came later from A, B."
// or " No answer was accepted."
void add_later_accepted(text_line& line, const probe_report& report, std::string_view judged) {
    bool any = false;
    for (const probe_sender& later : report.listed()) {
        if (later.verdict == reply_verdict::accepted) {
            if (!any) {
                add(line, " It judges the first ", judged, " only; accepted ones came later from ");
            }
            add(line, any ? ", " : "", dotted_text(later.address).text);
            any = true;
        }
    }
    add(line, any ? "." : " No answer was accepted.");
}

// The sentence on what the direct request tells.
void add_direct(text_line& line, const probe_report& report) {
    const direct_request& direct = report.direct;
    const dotted_text address{direct.address};
    const direct_finding finding = judge_direct(report);
    if (finding != direct_finding::not_asked && !line.view().ends_with('.')) {
        add(line, ".");  // after "would open http://A.B.C.D"
    }
    switch (finding) {
    case direct_finding::not_asked: break;
    case direct_finding::also_broadcast:
        add(line, " ", address.text, " answered the broadcast too.");
        break;
    case direct_finding::unanswered:
        add(line, " As for ", address.text, ", nothing answered the direct request: the server is off, "
            "the address is wrong, or UDP port 5501 is blocked on the way.");
        break;
    case direct_finding::rejected:
        add(line, " The first answer to the direct request, from ", dotted_text(direct.senders[0].address).text,
            ", was rejected (", describe(direct.senders[0].verdict), ").");
        break;
    case direct_finding::behind_router:
        add(line, " ", address.text, " answers a direct request, but a router lies between this PC and it, "
            "and korvelin-detect asks only the networks this PC is attached to.");
        break;
    case direct_finding::broadcast_dropped: {
        const net::interface_address& row = report.segments.rows[*direct.segment].row;
        add(line, " ", address.text, " answers directly, but not the broadcast, and is on the same segment as ",
            dotted_text(row.address).text, ": something drops the broadcast or the answer to it, a firewall "
            "on this PC or on the server.");
        break;
    }
    }
}

// The sentence on a firewall profile that drops every answer to a
// broadcast, where nothing answered one: an answer that got in says it is
// not the cause.
void add_firewall(text_line& line, const probe_report& report) {
    for (const firewall::profile_state& profile :
         std::span{report.firewall.active.data(), report.firewall.active_count}) {
        if (report.outcome == probe_outcome::no_answer && drops_broadcast_answers(profile)) {
            add(line, " Likely cause: Windows Defender Firewall's ", profile_name(profile.kind),
                " profile, active here, prohibits unicast answers to a broadcast. An administrator allows "
                "them with Group Policy (Computer Configuration > Administrative Templates > Network > "
                "Network Connections > Windows Defender Firewall: \"Prohibit unicast response to multicast "
                "or broadcast requests\" Disabled) or Intune (Firewall CSP "
                "DisableUnicastResponsesToMulticastBroadcast false).");
            return;
        }
    }
}

}  // namespace

const char* profile_name(firewall::profile kind) {
    switch (kind) {
    case firewall::profile::domain: return "Domain";
    case firewall::profile::private_network: return "Private";
    case firewall::profile::public_network: return "Public";
    }
    return "Public";
}

text_line error_text(net::error_code code) {
    text_line line;
    add_error(line, code);
    return line;
}

text_line hresult_text(net::error_code code) {
    text_line line;
    add_error(line, code, true);
    return line;
}

text_line conclusion(const probe_report& report) {
    text_line line;
    constexpr std::string_view box = "korvelin-detect would show \"Server wasn't found\": ";
    switch (report.outcome) {
    case probe_outcome::opens_page:
        add(line, "korvelin-detect would open http://", dotted_text(report.senders[0].address).text);
        break;
    case probe_outcome::first_rejected: {
        const probe_sender& first = report.senders[0];
        add(line, box, "the first answer, from ", dotted_text(first.address).text, ", was rejected (",
            describe(first.verdict), ").");
        add_later_accepted(line, report, "answer");
        break;
    }
    case probe_outcome::first_unreadable:
        add(line, box, "the first answer could not be read: ");
        add_error(line, report.first_receive_error);
        add(line, ".");
        add_later_accepted(line, report, "datagram");
        break;
    case probe_outcome::no_answer:
        add(line, box,
            "nothing answered. See Troubleshooting in the README: a server behind a router, "
            "across a full-tunnel VPN, or a firewall that drops the request or the answer.");
        break;
    case probe_outcome::no_socket:
        add(line, box, "no UDP socket could be opened: ");
        add_error(line, report.socket.open_error);
        add(line, ".");
        break;
    case probe_outcome::sends_refused:
        add(line, box, "every request was refused: ");
        if (report.socket.broadcast_error != 0) {
            add(line, "broadcasting was not allowed (");
            add_error(line, report.socket.broadcast_error);
            add(line, "), and then: ");
        }
        add_error(line, report.refused_sends.own.last_error);
        add(line, ".");
        break;
    case probe_outcome::no_network:
        add(line, box,
            "no network this PC is attached to can carry the request: the system sends its own "
            "broadcast through loopback, and no adapter took a copy.");
        break;
    }
    add_direct(line, report);
    add_firewall(line, report);
    return line;
}

}  // namespace detect

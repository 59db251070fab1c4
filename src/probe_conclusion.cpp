// The report's last line, what the launcher would do and why, and the
// system's words for an error, as every line of the report gives them.
#include <algorithm>
#include <array>

#include "net.h"
#include "firewall_sentence.h"
#include "journey_report.h"
#include "probe_report.h"
#include "probe_verdict.h"
#include "report_rows.h"
#include "utf8.h"

namespace detect {
namespace {

// No line is ever cut: the longest of the conclusions' own words, the
// no-answer one's, are about 200 characters; the direct request's and the
// firewall's sentences add about 800 of their own, three addresses,
// three profiles' names and four networks, each with its reason. Three
// errors in the system's words at most: two of the refused sends' and the
// direct request's.
constexpr std::size_t sentence_words = 1024;
constexpr std::size_t network_named = longest_address + 60 + longest_number;
static_assert(report_words + sentence_words + (max_listed_senders + 3) * (longest_address + 2) +
                  most_networks_named * network_named + 3 * longest_error_text <
              longest_line);

// "Network is unreachable (error 101)", in the system's own words; an
// HRESULT's number as 0x80070002. Without the words, "error 0x80070002"
// alone: a sentence that may name several keeps its length bounded.
void add_error(text_line& line, net::error_code code, bool hresult = false, bool with_words = true) {
    char text[error_text_size] = {};
    if (with_words) {
        net::describe_error(code, text);
    }
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

// Why the launcher does not ask row's segment, as the segment table says.
void add_not_asked_reason(text_line& line, const probe_report& report, std::size_t row) {
    const segment_decision& decision = report.segments.rows[row];
    if (decision.verdict == segment_verdict::copy) {
        add(line, "every copy was refused: ");
        add_error(line, report.refused_sends.copies[row].last_error);
    } else if (decision.verdict == segment_verdict::own_broadcast) {
        add(line, "the broadcast to 255.255.255.255 was refused: ");
        add_error(line, report.refused_sends.own.last_error);
    } else {
        add_decision(line, decision);
    }
}

// The sentence on what the direct request tells.
void add_direct(text_line& line, const probe_report& report, const probe_verdict& verdict) {
    const direct_request& direct = report.direct;
    const dotted_text address{direct.address};
    if (verdict.direct != direct_finding::not_asked && !line.view().ends_with('.')) {
        add(line, ".");  // after "would open http://A.B.C.D"
    }
    const dotted_text other{verdict.other != nullptr ? verdict.other->address : 0};
    const dotted_text segment{direct.segment ? report.segments.rows[*direct.segment].row.address : 0};
    switch (verdict.direct) {
    case direct_finding::not_asked: break;
    case direct_finding::not_sent:
        add(line, " No direct request to ", address.text, " could be sent (");
        add_error(line, direct.socket_error != 0 ? direct.socket_error : direct.refused.last_error);
        add(line, "), so the probe cannot tell anything of it.");
        break;
    case direct_finding::also_broadcast:
        add(line, " ", address.text, " answered the broadcast too.");
        break;
    case direct_finding::other_also_broadcast:
        add(line, " Nothing answered from ", address.text, " itself; ", other.text,
            " answered the direct request and the broadcast, as a server with two addresses does from its first.");
        break;
    case direct_finding::other_instead:
        add(line, " Nothing answered from ", address.text, " itself; ", other.text,
            " answered the direct request in its place (listed apart).");
        break;
    case direct_finding::unanswered:
        add(line, " As for ", address.text, ", nothing answered the direct request: the server is off, "
            "the address is wrong, or UDP port 5501 is blocked on the way.");
        break;
    case direct_finding::unreadable:
        add(line, " As for ", address.text, ", something came back to the direct request but could not be read (");
        add_error(line, direct.failed_receives.last_error);
        add(line, "), so the probe cannot tell whether the server answered.");
        break;
    case direct_finding::rejected:
        add(line, " The first answer to the direct request, from ", address.text, ", was rejected (",
            describe(verdict.own->verdict), ").");
        break;
    case direct_finding::behind_router:
        add(line, " ", address.text, " answers a direct request, but a router lies between this PC and it, "
            "and korvelin-detect asks only the networks this PC is attached to.");
        break;
    case direct_finding::not_broadcast_there:
        add(line, " ", address.text, " answers a direct request and is on the segment of ", segment.text,
            ", but korvelin-detect does not broadcast there (");
        add_not_asked_reason(line, report, *direct.segment);
        add(line, ").");
        break;
    case direct_finding::broadcast_dropped:
        add(line, " ", address.text, " answers directly, but not the broadcast, and is on the same segment as ",
            segment.text, ": something drops the broadcast or the answer to it, a firewall "
            "on this PC or on the server.");
        break;
    case direct_finding::broadcast_unread:
        add(line, " ", address.text, " answers directly and is on the same segment as ", segment.text, "; ",
            report.outcome == probe_outcome::first_unreadable ? "the launcher's first datagram"
                                                              : "a datagram to the broadcast",
            " could not be read, and may have been its answer to the broadcast.");
        break;
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

text_line hresult_number(net::error_code code) {
    text_line line;
    add_error(line, code, true, false);
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
            "nothing answered. ", troubleshooting_pointer,
            ": a server behind a router, across a full-tunnel VPN, or a firewall that drops the request or the answer.");
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
    const probe_verdict verdict = judge(report);
    add_direct(line, report, verdict);
    add_firewall(line, report, verdict);
    add_page_sentence(line, report, verdict);
    return line;
}

}  // namespace detect

// The probe's report: its sections, and the columns that keep it readable
// in any script.
#include "probe_report.h"
#include "journey_report.h"
#include "probe_verdict.h"
#include "report_rows.h"

#include <algorithm>

#include "console.h"
#include "ipv4_text.h"
#include "net.h"
#include "utf8.h"

namespace detect {
namespace {

// No line is ever cut: the longest each kind of line can be, from the
// sizes of what goes into it, fits a text_line.
constexpr std::size_t longest_interface_line =
    report_words + escaped_byte * (net::interface_name_size - 1) + 2 * longest_address +
    3 * longest_number + longest_error_text;
constexpr std::size_t longest_sender_line =
    report_words + escaped_byte * reply_excerpt_size + 3 * longest_number;
static_assert(std::max(longest_interface_line, longest_sender_line) < longest_line);

// The names' column: as wide as the longest name, within bounds.
constexpr std::size_t min_name_width = 16;
constexpr std::size_t max_name_width = 40;

void print_interfaces(std::FILE* out, const probe_report& report) {
    const segment_plan& plan = report.segments;
    text_line line;
    add(line, "Interface addresses, as the system lists them",
        report.firewall.present ? ", with their networks' categories:" : ":");
    if (!report.interfaces_listed) {
        add(line, "\n  none could be listed (");
        add(line, error_text(report.list_error).view());
        add(line, "): only 255.255.255.255 was asked");
    } else if (plan.count == 0) {
        add(line, "\n  none: only 255.255.255.255 was asked");
    }
    if (report.names_error != 0) {
        add(line, "\n  The adapters' names could not be read: ");
        add(line, error_text(report.names_error).view());
    }
    print(out, line);
    // Every name goes through the escaping, which both platforms share;
    // escaped once to measure and again to print, since 128 escaped names
    // kept between the two would take 256 KiB of stack.
    const auto shown_name = [&](std::size_t row) {
        const char* name = report.names[row].text;
        return escape_text(name[0] != '\0' ? name : "-", report.names_utf8);
    };
    std::size_t name_width = min_name_width;
    for (std::size_t row = 0; row < plan.count; ++row) {
        name_width =
            std::max(name_width, std::min(display_width(shown_name(row).view()), max_name_width));
    }
    for (std::size_t row = 0; row < plan.count; ++row) {
        const segment_decision& decision = plan.rows[row];
        add(line, "  ");
        add_padded_name(line, shown_name(row).view(), name_width);
        const std::size_t column = line.length;
        add(line, " ", dotted_text(decision.row.address).text, "/",
            decimal_text(prefix_length(decision.row.netmask)).text);
        pad_to(line, column + 20);
        add(line, " ");
        const firewall::category_reading& category = report.firewall.categories[row];
        if (report.firewall.present) {
            add(line, category.known ? profile_name(category.kind) : category.error != 0 ? "?" : "-");
            pad_to(line, column + 29);
            add(line, " ");
        }
        add_decision(line, decision);
        add_refusals(line, report.refused_sends.copies[row]);
        if (report.firewall.present && category.error != 0) {
            add(line, "; its network's category could not be read (", hresult_text(category.error).view(), ")");
        }
        print(out, line);
    }
    if (plan.own_broadcast_on_loopback) {
        add(line, "  The system's own broadcast leaves through loopback: it reaches no network.");
        print(out, line);
    }

}

void print_senders(std::FILE* out, const probe_report& report) {
    print_heading(out, "\nAnswers, in order of arrival:", report.sender_count == 0, "none");
    print_sender_rows(out, report.listed());
    text_line line;
    if (report.unlisted_senders > 0) {
        add(line, "  and ", decimal_text(report.unlisted_senders).text, " more sender",
            plural(report.unlisted_senders), ", not listed");
        print(out, line);
    }
    print_failed_receives(out, report.failed_receives);
    if (report.failed_waits.count > 0) {
        add(line, "  ", decimal_text(report.failed_waits.count).text, " wait",
            plural(report.failed_waits.count), " for an answer failed: ");
        add(line, error_text(report.failed_waits.last_error).view());
        print(out, line);
    }
}

// The request sent to one address by unicast, and what came back to it.
void print_direct(std::FILE* out, const probe_report& report) {
    const direct_request& direct = report.direct;
    text_line line;
    add(line, "\nAsked directly: ", dotted_text(direct.address).text, ", ");
    if (direct.segment) {
        const net::interface_address& row = report.segments.rows[*direct.segment].row;
        add(line, "on the same segment as ", dotted_text(row.address).text, "/",
            decimal_text(prefix_length(row.netmask)).text);
    } else {
        add(line, "on no segment this PC is attached to");
    }
    if (direct.socket_error != 0) {
        add(line, "\n  not asked: its socket could not be opened: ");
        add(line, error_text(direct.socket_error).view());
        print(out, line);
        return;
    }
    add(line, "\n  the same request to UDP port ", decimal_text(discovery_port).text, " in ",
        decimal_text(static_cast<unsigned long>(direct.sent)).text, " of ",
        decimal_text(discovery_attempts).text, " attempts");
    add_refusals(line, direct.refused);
    print(out, line);
    // Only the asked address's datagrams are its answers; a server with
    // two addresses may answer from the other, listed apart.
    const probe_sender* own = sender_at(direct.listed(), direct.address);
    print_heading(out, "Answers to it:", own == nullptr, "none");
    print_sender_rows(out, own == nullptr ? std::span<const probe_sender>{} : std::span{own, 1});
    if (direct.sender_count > (own == nullptr ? 0U : 1U)) {
        print_heading(out, "From other addresses, to the same socket:", false, "");
        unsigned long number = 0;
        for (const probe_sender& sender : direct.listed()) {
            if (&sender != own) {
                print_sender_rows(out, {&sender, 1}, ++number);
            }
        }
    }
    if (direct.unlisted_datagrams > 0) {
        add(line, "  and ", decimal_text(direct.unlisted_datagrams).text, " more datagram",
            plural(direct.unlisted_datagrams), " from senders not listed");
        print(out, line);
    }
    print_failed_receives(out, direct.failed_receives);
}

// A firewall value, or why it could not be read.
void add_reading(text_line& line, const firewall::reading& reading, std::string_view yes, std::string_view no) {
    if (reading.error != 0) {
        add(line, "could not be read (", hresult_text(reading.error).view(), ")");
    } else {
        add(line, reading.value ? yes : no);
    }
}

void print_firewall(std::FILE* out, const probe_report& report) {
    const firewall::state& state = report.firewall;
    text_line line;
    add(line, "\nWindows Defender Firewall, the active profiles:");
    if (state.profiles_error != 0) {
        add(line, "\n  which profiles are active could not be read: ", hresult_text(state.profiles_error).view());
    }
    if (report.adapters_error != 0) {
        add(line, "\n  the adapters could not be identified, so no network's category is known: ",
            error_text(report.adapters_error).view());
    }
    print(out, line);
    for (const firewall::profile_state& profile : std::span{state.active.data(), state.active_count}) {
        add(line, "  ", profile_name(profile.kind), ": ");
        add_reading(line, profile.enabled, "on", "off");
        add(line, "; unicast answers to a broadcast: ");
        add_reading(line, profile.unicast_answers_prohibited, "prohibited", "allowed");
        add(line, "; all inbound traffic: ");
        add_reading(line, profile.inbound_blocked, "blocked", "not blocked");
        print(out, line);
    }
}

}  // namespace

void print_report(std::FILE* out, const probe_report& report, const char* version) {
    text_line line;
    add(line, "korvelin-probe ", version, ": one discovery as korvelin-detect makes it");
    print(out, line);
    if (report.outcome != probe_outcome::no_socket) {
        add(line, "Sent: ", decimal_text(discovery_request.size()).text, " bytes to UDP port ",
            decimal_text(discovery_port).text, ", in ",
            decimal_text(static_cast<unsigned long>(report.attempts_sent)).text, " of ",
            decimal_text(discovery_attempts).text, " attempts, ",
            decimal_text(reply_wait_microseconds / 1000).text, " ms apart.");
        if (const net::failure_tally& own = report.refused_sends.own; own.count > 0) {
            add(line, "\nThe broadcast to 255.255.255.255 was refused ", decimal_text(own.count).text,
                " of ", decimal_text(discovery_attempts).text, " times: ");
            add(line, error_text(own.last_error).view());
        }
        add(line, "\n");
        print(out, line);
        print_interfaces(out, report);
        print_senders(out, report);
        if (report.direct.address != 0) {
            print_direct(out, report);
        }
    }
    if (report.firewall.present) {
        print_firewall(out, report);
    }
    print_page(out, report);
    add(line, "\n");
    console::write(out, line.view());
    line = conclusion(report);
    print(out, line);
}

}  // namespace detect

#include "probe_report.h"

#include <algorithm>

#include "net.h"

namespace detect {
namespace {

// Built by hand rather than with printf: mingw's C++ printf would add
// about 20 KiB to the exe.
void add_one(text_line& line, std::string_view text) {
    const std::size_t room = line.text.size() - 1 - line.length;
    const std::size_t taken = std::min(text.size(), room);
    std::copy_n(text.data(), taken, line.text.data() + line.length);
    line.length += taken;
    line.text[line.length] = '\0';
}

template <typename... Parts>
void add(text_line& line, const Parts&... parts) {
    (add_one(line, std::string_view{parts}), ...);
}

void pad_to(text_line& line, std::size_t column) {
    while (line.length < column) {
        add_one(line, " ");
    }
}

struct decimal {
    char text[24] = {};
    explicit decimal(unsigned long value) {
        char digits[24];
        std::size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        std::reverse_copy(digits, digits + count, text);
    }
};

struct dotted {
    char text[net::ipv4_text_size] = "?";
    explicit dotted(std::uint32_t address) { net::format_ipv4(address, text); }
};

const char* plural(unsigned long count) { return count == 1 ? "" : "s"; }

// Counted by hand: std::popcount would call into libgcc_s on plain x86-64.
unsigned long prefix_length(std::uint32_t netmask) {
    unsigned long bits = 0;
    for (; netmask != 0; netmask &= netmask - 1) {
        ++bits;
    }
    return bits;
}

void print(std::FILE* out, text_line& line) {
    add(line, "\n");
    std::fputs(line.text.data(), out);
    line = text_line{};
}

void add_decision(text_line& line, const segment_decision& decision) {
    switch (decision.verdict) {
    case segment_verdict::own_broadcast:
        if (decision.reached_through == decision.row.address) {
            add(line, "asked: the system's own broadcast");
        } else {
            add(line, "asked: own broadcast, as ", dotted(decision.reached_through).text);
        }
        break;
    case segment_verdict::copy:
        if (decision.copy.link != 0) {
            add(line, "asked: a copy through this link");
        } else {
            add(line, "asked: a copy to ", dotted(decision.copy.destination.address).text);
        }
        break;
    case segment_verdict::same_segment:
        add(line, "skipped: same segment as ", dotted(decision.reached_through).text);
        break;
    default:
        add(line, "skipped: ", describe(decision.verdict));
        break;
    }
}

// A section's heading, and what stands in for an empty list.
void print_heading(std::FILE* out, std::string_view heading, bool empty,
                   std::string_view when_empty) {
    text_line line;
    add(line, heading);
    if (empty) {
        add(line, "\n  ", when_empty);
    }
    print(out, line);
}

void print_interfaces(std::FILE* out, const segment_plan& plan) {
    print_heading(out, "Interface addresses, as the system lists them:", plan.count == 0,
                  "none could be listed: only 255.255.255.255 was asked");
    text_line line;
    for (const segment_decision& decision : plan.list()) {
        add(line, "  ", decision.row.name[0] != '\0' ? decision.row.name : "-");
        pad_to(line, 18);
        add(line, " ", dotted(decision.row.address).text, "/",
            decimal(prefix_length(decision.row.netmask)).text);
        pad_to(line, 38);
        add(line, " ");
        add_decision(line, decision);
        print(out, line);
    }
}

void print_senders(std::FILE* out, const probe_report& report) {
    print_heading(out, "\nAnswers, in order of arrival:", report.sender_count == 0, "none");
    text_line line;
    unsigned long number = 0;
    for (const probe_sender& sender : report.listed()) {
        add(line, "  ", decimal(++number).text, ". ", dotted(sender.address).text);
        pad_to(line, 22);
        add(line, " ");
        if (sender.verdict == reply_verdict::accepted) {
            add(line, "accepted");
        } else {
            add(line, "rejected: ", describe(sender.verdict));
        }
        print(out, line);
        const std::size_t shown = std::min(sender.size, sender.excerpt.size());
        add(line, "     ", decimal(sender.datagrams).text, " datagram", plural(sender.datagrams),
            ", the first after ", decimal(static_cast<unsigned long>(sender.first_after_ms)).text,
            " ms: \"", escape_reply_text({sender.excerpt.data(), shown}).view(), "\"",
            shown < sender.size ? "..." : "", " (", decimal(sender.size).text, " bytes)");
        print(out, line);
    }
    if (report.unlisted_senders > 0) {
        add(line, "  and ", decimal(report.unlisted_senders).text, " more sender",
            plural(report.unlisted_senders), ", not listed");
        print(out, line);
    }
    if (report.unreadable > 0) {
        add(line, "  and ", decimal(report.unreadable).text, " datagram", plural(report.unreadable),
            " that could not be read");
        print(out, line);
    }
}

}  // namespace

text_line escape_reply_text(std::string_view bytes) {
    constexpr std::string_view hex = "0123456789abcdef";
    text_line line;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (value == '\\') {
            add(line, "\\\\");
        } else if (value >= 0x20 && value <= 0x7E) {
            add(line, std::string_view{&byte, 1});
        } else {
            const char escaped[] = {'\\', 'x', hex[value >> 4], hex[value & 0xF]};
            add(line, std::string_view{escaped, sizeof escaped});
        }
    }
    return line;
}

text_line conclusion(const probe_report& report) {
    text_line line;
    constexpr std::string_view box = "korvelin-detect would show \"Server wasn't found\": ";
    switch (report.outcome) {
    case probe_outcome::opens_page:
        add(line, "korvelin-detect would open http://", dotted(report.senders[0].address).text);
        break;
    case probe_outcome::first_rejected: {
        const probe_sender& first = report.senders[0];
        add(line, box, "the first answer, from ", dotted(first.address).text, ", was rejected (",
            describe(first.verdict), ").");
        std::string_view separator = " It judges the first answer only; accepted ones came later from ";
        for (const probe_sender& later : report.listed()) {
            if (later.verdict == reply_verdict::accepted) {
                add(line, separator, dotted(later.address).text);
                separator = ", ";
            }
        }
        add(line, separator == ", " ? "." : " No answer was accepted.");
        break;
    }
    case probe_outcome::no_answer:
        add(line, box,
            "nothing answered. See Troubleshooting in the README: a server behind a router, "
            "across a full-tunnel VPN, or a firewall that drops the request or the answer.");
        break;
    case probe_outcome::no_socket:
        add(line, box, "no UDP socket could be opened.");
        break;
    case probe_outcome::sends_refused:
        add(line, box, "every request was refused: no network here can carry a broadcast.");
        break;
    }
    return line;
}

void print_report(std::FILE* out, const probe_report& report, const char* version) {
    text_line line;
    add(line, "korvelin-probe ", version, ": one discovery as korvelin-detect makes it");
    print(out, line);
    if (report.outcome != probe_outcome::no_socket) {
        add(line, "Sent: ", decimal(discovery_request.size()).text, " bytes to UDP port ",
            decimal(discovery_port).text, ", in ",
            decimal(static_cast<unsigned long>(report.attempts_sent)).text, " of ",
            decimal(discovery_attempts).text, " attempts, ",
            decimal(reply_wait_microseconds / 1000).text, " ms apart.\n");
        print(out, line);
        print_interfaces(out, report.segments);
        print_senders(out, report);
    }
    line = conclusion(report);
    std::fputs("\n", out);
    print(out, line);
}

}  // namespace detect

#include "probe_report.h"

#include <algorithm>

#include "console.h"
#include "ipv4_text.h"
#include "net.h"
#include "utf8.h"

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

void add_padded(text_line& line, std::string_view text, std::size_t width) {
    add(line, text);
    for (std::size_t used = display_width(text); used < width; ++used) {
        add_one(line, " ");
    }
}

void pad_to(text_line& line, std::size_t column) {
    while (line.length < column) {
        add_one(line, " ");
    }
}

// "Network is unreachable (error 101)", in the system's own words.
void add_error(text_line& line, net::error_code code);

// No line is ever cut: the longest each kind of line can be, from the
// sizes of what goes into it, fits a text_line. The longest of any line's
// own words, the no-answer conclusion's, are about 200 characters.
constexpr std::size_t error_text_size = 256;
constexpr std::size_t own_words = 256;
constexpr std::size_t longest_number = 20;  // an unsigned long, or "-" and an int
constexpr std::size_t longest_address = ipv4_text_size - 1;
constexpr std::size_t escaped_byte = 4;  // "\xNN"
constexpr std::size_t longest_error = escaped_byte * (error_text_size - 1) + longest_number + 10;
constexpr std::size_t longest_interface_line =
    own_words + escaped_byte * (net::interface_name_size - 1) + 2 * longest_address +
    3 * longest_number + longest_error;
constexpr std::size_t longest_sender_line =
    own_words + escaped_byte * reply_excerpt_size + 3 * longest_number;
constexpr std::size_t longest_conclusion =
    own_words + (max_listed_senders + 1) * (longest_address + 2) + 2 * longest_error;
static_assert(std::max({longest_interface_line, longest_sender_line, longest_conclusion}) <
              std::tuple_size_v<decltype(text_line::text)>);

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
    char text[ipv4_text_size] = {};
    explicit dotted(std::uint32_t address) { format_ipv4(address, text); }
};

void add_error(text_line& line, net::error_code code) {
    char text[error_text_size] = {};
    net::describe_error(code, text);
    // The system's words are text from outside too: a message may hold
    // line ends, and a translated one its own full stop.
    const std::string_view words = without_final_stop(text);
    // Negated as unsigned: -INT_MIN does not fit an int, nor a 32-bit long.
    const unsigned long magnitude =
        code < 0 ? 0UL - static_cast<unsigned long>(code) : static_cast<unsigned long>(code);
    add(line, escape_text(words, true).view(), words.empty() ? "error " : " (error ",
        code < 0 ? "-" : "", decimal(magnitude).text, words.empty() ? "" : ")");
}

void add_refusals(text_line& line, const failure_tally& tally) {
    if (tally.count > 0) {
        add(line, "; refused ", decimal(tally.count).text, " of ",
            decimal(discovery_attempts).text, ": ");
        add_error(line, tally.last_error);
    }
}

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
    console::write(out, line.view());
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

// The names' column: as wide as the longest name, within bounds.
constexpr std::size_t min_name_width = 16;
constexpr std::size_t max_name_width = 40;

void print_interfaces(std::FILE* out, const probe_report& report) {
    const segment_plan& plan = report.segments;
    text_line line;
    add(line, "Interface addresses, as the system lists them:");
    if (!report.interfaces_listed) {
        add(line, "\n  none could be listed (");
        add_error(line, report.list_error);
        add(line, "): only 255.255.255.255 was asked");
    } else if (plan.count == 0) {
        add(line, "\n  none: only 255.255.255.255 was asked");
    }
    print(out, line);
    // Every name goes through the escaping, which both platforms share;
    // escaped once to measure and again to print, since 128 escaped names
    // kept between the two would take 256 KiB of stack.
    const auto shown_name = [&](std::size_t row) {
        const char* name = report.names[row].text;
        return escape_text(name[0] != '\0' ? name : "-", net::names_are_utf8);
    };
    std::size_t name_width = min_name_width;
    for (std::size_t row = 0; row < plan.count; ++row) {
        name_width =
            std::max(name_width, std::min(display_width(shown_name(row).view()), max_name_width));
    }
    for (std::size_t row = 0; row < plan.count; ++row) {
        const segment_decision& decision = plan.rows[row];
        add(line, "  ");
        add_padded(line, shown_name(row).view(), name_width);
        const std::size_t column = line.length;
        add(line, " ", dotted(decision.row.address).text, "/",
            decimal(prefix_length(decision.row.netmask)).text);
        pad_to(line, column + 20);
        add(line, " ");
        add_decision(line, decision);
        add_refusals(line, report.refused_sends.copies[row]);
        print(out, line);
    }
    if (plan.own_broadcast_on_loopback) {
        add(line, "  The system's own broadcast leaves through loopback: it reaches no network.");
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
            " ms: \"", escape_text({sender.excerpt.data(), shown}, false).view(), "\"",
            shown < sender.size ? "..." : "", " (", decimal(sender.size).text, " bytes)");
        print(out, line);
    }
    if (report.unlisted_senders > 0) {
        add(line, "  and ", decimal(report.unlisted_senders).text, " more sender",
            plural(report.unlisted_senders), ", not listed");
        print(out, line);
    }
    if (report.failed_receives.count > 0) {
        add(line, "  and ", decimal(report.failed_receives.count).text, " datagram",
            plural(report.failed_receives.count), " that could not be read: ");
        add_error(line, report.failed_receives.last_error);
        print(out, line);
    }
    if (report.failed_waits.count > 0) {
        add(line, "  ", decimal(report.failed_waits.count).text, " wait",
            plural(report.failed_waits.count), " for an answer failed: ");
        add_error(line, report.failed_waits.last_error);
        print(out, line);
    }
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
            add(line, any ? ", " : "", dotted(later.address).text);
            any = true;
        }
    }
    add(line, any ? "." : " No answer was accepted.");
}

}  // namespace

text_line escape_text(std::string_view bytes, bool keep_utf8) {
    constexpr std::string_view hex = "0123456789abcdef";
    text_line line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto value = static_cast<unsigned char>(bytes[i]);
        // Never substr: its range check would pull the exception machinery in.
        const std::string_view rest{bytes.data() + i, bytes.size() - i};
        std::size_t character = keep_utf8 && value >= 0x80 ? utf8_character_length(rest) : 0;
        // A C1 control (U+0080 to U+009F) is a character too, but some
        // terminals obey it; a bidi override or a zero-width character
        // reorders or hides what follows it wherever the text is pasted.
        // Both are escaped like the bytes below 0x20.
        if (character > 0) {
            const char32_t c = utf8_code_point(rest, character);
            if (c < 0xA0 || reorders_or_hides(c)) {
                character = 0;
            }
        }
        if (character > 0) {
            add(line, std::string_view{rest.data(), character});
            i += character - 1;
        } else if (value == '\\') {
            add(line, "\\\\");
        } else if (value >= 0x20 && value <= 0x7E) {
            add(line, std::string_view{rest.data(), 1});
        } else {
            const char escaped[] = {'\\', 'x', hex[value >> 4], hex[value & 0xF]};
            add(line, std::string_view{escaped, sizeof escaped});
        }
    }
    return line;
}

text_line error_text(net::error_code code) {
    text_line line;
    add_error(line, code);
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
            decimal(reply_wait_microseconds / 1000).text, " ms apart.");
        if (const failure_tally& own = report.refused_sends.own; own.count > 0) {
            add(line, "\nThe broadcast to 255.255.255.255 was refused ", decimal(own.count).text,
                " of ", decimal(discovery_attempts).text, " times: ");
            add_error(line, own.last_error);
        }
        add(line, "\n");
        print(out, line);
        print_interfaces(out, report);
        print_senders(out, report);
    }
    add(line, "\n");
    console::write(out, line.view());
    line = conclusion(report);
    print(out, line);
}

}  // namespace detect

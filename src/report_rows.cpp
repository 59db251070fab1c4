#include "report_rows.h"

#include <algorithm>

#include "console.h"
#include "ipv4_text.h"
#include "probe_report.h"
#include "utf8.h"

namespace detect {

// A name that holds right-to-left letters is isolated (U+2068 ... U+2069),
// so that software applying the bidirectional algorithm, a ticket's page
// among them, keeps the row's columns: the line's direction comes from the
// report's own words, and the padding and the address stay after the name.
// A name's own isolates are escaped, so every raw one is the report's.
void add_padded_name(text_line& line, std::string_view name, std::size_t width) {
    const bool isolated = has_right_to_left(name);
    add(line, isolated ? "\u2068" : "", name, isolated ? "\u2069" : "");
    for (std::size_t used = display_width(name); used < width; ++used) {
        add_text(line, " ");
    }
}

void pad_to(text_line& line, std::size_t column) {
    while (line.length < column) {
        add_text(line, " ");
    }
}

void add_refusals(text_line& line, const net::failure_tally& tally) {
    if (tally.count > 0) {
        add(line, "; refused ", decimal_text(tally.count).text, " of ",
            decimal_text(discovery_attempts).text, ": ");
        add(line, error_text(tally.last_error).view());
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

void print_sender_rows(std::FILE* out, std::span<const probe_sender> senders, unsigned long first) {
    text_line line;
    unsigned long number = first - 1;
    for (const probe_sender& sender : senders) {
        add(line, "  ", decimal_text(++number).text, ". ", dotted_text(sender.address).text);
        pad_to(line, 22);
        add(line, " ");
        if (sender.verdict == reply_verdict::accepted) {
            add(line, "accepted");
        } else {
            add(line, "rejected: ", describe(sender.verdict));
        }
        print(out, line);
        const std::size_t shown = std::min(sender.size, sender.excerpt.size());
        add(line, "     ", decimal_text(sender.datagrams).text, " datagram", plural(sender.datagrams),
            ", the first after ", decimal_text(static_cast<unsigned long>(sender.first_after_ms)).text,
            " ms: \"", escape_text({sender.excerpt.data(), shown}, false).view(), "\"",
            shown < sender.size ? "..." : "", " (", decimal_text(sender.size).text, " bytes)");
        print(out, line);
    }
}

// "  and 2 datagrams that could not be read: ...", when any could not.
void print_failed_receives(std::FILE* out, const net::failure_tally& failed) {
    if (failed.count > 0) {
        text_line line;
        add(line, "  and ", decimal_text(failed.count).text, " datagram", plural(failed.count),
            " that could not be read: ");
        add(line, error_text(failed.last_error).view());
        print(out, line);
    }
}

void add_decision(text_line& line, const segment_decision& decision) {
    switch (decision.verdict) {
    case segment_verdict::own_broadcast:
        if (decision.reached_through == decision.row.address) {
            add(line, "asked: the system's own broadcast");
        } else {
            add(line, "asked: own broadcast, as ", dotted_text(decision.reached_through).text);
        }
        break;
    case segment_verdict::copy:
        if (decision.copy.link != 0) {
            add(line, "asked: a copy through this link");
        } else {
            add(line, "asked: a copy to ", dotted_text(decision.copy.destination.address).text);
        }
        break;
    case segment_verdict::same_segment:
        add(line, "skipped: same segment as ", dotted_text(decision.reached_through).text);
        break;
    default:
        add(line, "skipped: ", describe(decision.verdict));
        break;
    }
}

}  // namespace detect

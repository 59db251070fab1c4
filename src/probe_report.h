// The probe's report as plain text, short enough to paste into a support
// ticket. Reply bytes come from anyone on the LAN, and interface names
// from whoever set up the PC: neither is ever written raw, so that no
// escape sequence reaches the terminal.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string_view>

#include "ipv4_text.h"
#include "probe.h"
#include "text_line.h"

namespace detect {

// What bounds a report line's length: the most of its own words, a
// number, an address, an escaped byte, and an error_text().
inline constexpr std::size_t report_words = 256;
inline constexpr std::size_t longest_number = 20;  // an unsigned long, or "-" and an int
inline constexpr std::size_t longest_address = ipv4_text_size - 1;
inline constexpr std::size_t escaped_byte = 4;  // "\xNN"
inline constexpr std::size_t error_text_size = 256;  // the system's words, read in before escaping
inline constexpr std::size_t longest_error_text =
    escaped_byte * (error_text_size - 1) + longest_number + 10;

// Where the reader of a report that found nothing reads on: a document
// that the probe's own package installs.
#ifdef _WIN32
inline constexpr std::string_view troubleshooting_pointer =
    "See Troubleshooting in README.txt, beside this program and in the Start menu";
#else
inline constexpr std::string_view troubleshooting_pointer = "See TROUBLESHOOTING in korvelin-probe(1)";
#endif

// "The system's words (error N)", escaped like any outside text.
text_line error_text(net::error_code code);

// The same for an HRESULT: "The system's words (error 0x80070002)".
text_line hresult_text(net::error_code code);

// "error 0x80070002" alone, without the system's words: for a sentence
// that may name several and must stay short.
text_line hresult_number(net::error_code code);

// What the launcher would do on this PC now, and why, in one line; with
// one sentence more on the direct request, and on a firewall profile that
// drops the answers.
text_line conclusion(const probe_report& report);

// "Domain", "Private" or "Public", as Windows names its profiles.
const char* profile_name(firewall::profile kind);

// Every interface address with its decision, every sender with its
// verdict, what failed, then the conclusion; as UTF-8, through the
// console where out is one.
void print_report(std::FILE* out, const probe_report& report, const char* version);

}  // namespace detect

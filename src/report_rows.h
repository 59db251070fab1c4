// The lines and rows that several sections of the probe's report share:
// padding to a column, refusals, a section's heading and the rows of a
// list of senders.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

#include "net.h"
#include "probe_data.h"
#include "text_line.h"

namespace detect {

// A name, padded to width columns; one that holds right-to-left letters
// isolated, so that a page applying the bidirectional algorithm keeps the
// row's columns.
void add_padded_name(text_line& line, std::string_view name, std::size_t width);

// Spaces up to column.
void pad_to(text_line& line, std::size_t column);

// "; refused 3 of 5: the system's words (error N)", when any was refused.
void add_refusals(text_line& line, const net::failure_tally& tally);

// A segment row's decision, as the table gives it: "asked: a copy to
// 10.3.0.255", "skipped: /31 or /32, no broadcast address".
void add_decision(text_line& line, const segment_decision& decision);

// "s" but for one.
const char* plural(unsigned long count);

// The bits set in netmask.
unsigned long prefix_length(std::uint32_t netmask);

// Ends line, writes it and empties it.
void print(std::FILE* out, text_line& line);

// A section's heading, and what stands in for an empty list.
void print_heading(std::FILE* out, std::string_view heading, bool empty, std::string_view when_empty);

// Each sender of a list, numbered from first, with its first datagram's
// verdict and bytes.
void print_sender_rows(std::FILE* out, std::span<const probe_sender> senders, unsigned long first = 1);

// "  and 2 datagrams that could not be read: ...", when any could not.
void print_failed_receives(std::FILE* out, const net::failure_tally& failed);

}  // namespace detect

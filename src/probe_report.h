// The probe's report as plain text, short enough to paste into a support
// ticket. Reply bytes come from anyone on the LAN, and interface names
// from whoever set up the PC: neither is ever written raw, so that no
// escape sequence reaches the terminal.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string_view>

#include "console.h"
#include "probe.h"

namespace detect {

// A line of text built in place; what does not fit is cut off.
struct text_line {
    std::array<char, console::longest_write> text{};
    std::size_t length = 0;

    [[nodiscard]] std::string_view view() const { return {text.data(), length}; }
};

// The bytes as text that reads back unambiguously: every byte outside
// 0x20 to 0x7E as \xNN and the backslash as \\; with keep_utf8, whole
// UTF-8 characters stay as they are, except the C1 controls and the
// characters that reorder or hide text, whose bytes are escaped.
text_line escape_text(std::string_view bytes, bool keep_utf8);

// "The system's words (error N)", escaped like any outside text.
text_line error_text(net::error_code code);

// What the launcher would do on this PC now, and why, in one line.
text_line conclusion(const probe_report& report);

// Every interface address with its decision, every sender with its
// verdict, what failed, then the conclusion; as UTF-8, through the
// console where out is one.
void print_report(std::FILE* out, const probe_report& report, const char* version);

}  // namespace detect

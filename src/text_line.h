// A line of text built in place, and the escaping that makes any bytes
// safe to put in one: the probe's report is made of these, and writes
// nothing raw that came from the network or from the system.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "ipv4_text.h"

namespace detect {

// The longest line the report builds; the console writes no more at once.
inline constexpr std::size_t longest_line = 8192;

// A line of text built in place; what does not fit is cut off.
struct text_line {
    std::array<char, longest_line> text{};
    std::size_t length = 0;

    [[nodiscard]] std::string_view view() const { return {text.data(), length}; }
};

// Appends text, as much as fits. Built by hand rather than with printf:
// mingw's C++ printf would add about 20 KiB to the exe.
void add_text(text_line& line, std::string_view text);

// Appends each of parts in turn, in one call.
void add_texts(text_line& line, std::initializer_list<std::string_view> parts);

// add(line, "Sent: ", number.text, " bytes"): whatever the parts' types, a
// call builds one list for add_texts(), so that the exe holds no copy of
// the loop per combination of types.
template <typename... Parts>
void add(text_line& line, const Parts&... parts) {
    add_texts(line, {std::string_view{parts}...});
}

// A number's decimal text.
struct decimal_text {
    char text[24] = {};
    explicit decimal_text(unsigned long value);
};

// An address's dotted text.
struct dotted_text {
    char text[ipv4_text_size] = {};
    explicit dotted_text(std::uint32_t address) { format_ipv4(address, text); }
};

// The bytes as text that reads back unambiguously: every byte outside
// 0x20 to 0x7E as \xNN and the backslash as \\; with keep_utf8, whole
// UTF-8 characters stay as they are, except the C1 controls and the
// characters that reorder or hide text or show as nothing, whose bytes are
// escaped.
text_line escape_text(std::string_view bytes, bool keep_utf8);

}  // namespace detect

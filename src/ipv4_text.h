// The dotted-decimal text of an IPv4 address, written here once for both
// platforms, the fake and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace detect {

// At most 15 characters and a NUL.
inline constexpr std::size_t ipv4_text_size = 16;

// Writes address (host byte order) into text as four decimal numbers
// without leading zeros, separated by dots, NUL-terminated; returns the
// length, 7 to 15.
std::size_t format_ipv4(std::uint32_t address, char (&text)[ipv4_text_size]);

// The address (host byte order) that text writes in exactly the form
// format_ipv4() gives: four numbers 0 to 255 without leading zeros,
// separated by dots, nothing else; none for any other text.
std::optional<std::uint32_t> parse_ipv4(std::string_view text);

}  // namespace detect

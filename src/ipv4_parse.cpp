// Apart from format_ipv4(): the launcher links every function of an object
// file it uses (ld keeps what the x64 unwind tables name), and reads no
// address.
#include "ipv4_text.h"

namespace detect {

std::optional<std::uint32_t> parse_ipv4(std::string_view text) {
    std::uint32_t address = 0;
    std::size_t at = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0 && (at >= text.size() || text[at++] != '.')) {
            return std::nullopt;
        }
        const std::size_t start = at;
        unsigned value = 0;
        for (; at < text.size() && at - start < 3 && text[at] >= '0' && text[at] <= '9'; ++at) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
        }
        const bool leading_zero = at - start > 1 && text[start] == '0';
        if (at == start || leading_zero || value > 255) {
            return std::nullopt;
        }
        address = address << 8 | value;
    }
    return at == text.size() ? std::optional<std::uint32_t>{address} : std::nullopt;
}


}  // namespace detect

#include "ipv4_text.h"

namespace detect {

std::size_t format_ipv4(std::uint32_t address, char (&text)[ipv4_text_size]) {
    std::size_t length = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned octet = (address >> shift) & 0xFFu;
        if (octet >= 100) {
            text[length++] = static_cast<char>('0' + octet / 100);
        }
        if (octet >= 10) {
            text[length++] = static_cast<char>('0' + octet / 10 % 10);
        }
        text[length++] = static_cast<char>('0' + octet % 10);
        if (shift > 0) {
            text[length++] = '.';
        }
    }
    text[length] = '\0';
    return length;
}

}  // namespace detect

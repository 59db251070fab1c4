#include "utf8.h"

namespace detect {

std::size_t utf8_from_utf16(std::u16string_view from, std::span<char> to) {
    if (to.empty()) {
        return 0;
    }
    std::size_t length = 0;
    for (std::size_t i = 0; i < from.size(); ++i) {
        char32_t c = from[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < from.size() && from[i + 1] >= 0xDC00 &&
            from[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (from[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        char bytes[4];
        std::size_t count = 0;
        if (c < 0x80) {
            bytes[count++] = static_cast<char>(c);
        } else {
            const std::size_t trailing = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
            constexpr unsigned char lead[] = {0, 0xC0, 0xE0, 0xF0};
            bytes[count++] = static_cast<char>(lead[trailing] | (c >> (6 * trailing)));
            for (std::size_t shift = trailing; shift-- > 0;) {
                bytes[count++] = static_cast<char>(0x80 | ((c >> (6 * shift)) & 0x3F));
            }
        }
        if (length + count >= to.size()) {
            break;  // no room for the whole character and the NUL
        }
        for (std::size_t k = 0; k < count; ++k) {
            to[length++] = bytes[k];
        }
    }
    to[length] = '\0';
    return length;
}

std::size_t utf8_character_length(std::string_view bytes) {
    if (bytes.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || bytes.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const bool overlong_or_surrogate = (lead == 0xE0 && byte(1) < 0xA0) ||
                                       (lead == 0xED && byte(1) >= 0xA0) ||
                                       (lead == 0xF0 && byte(1) < 0x90) ||
                                       (lead == 0xF4 && byte(1) >= 0x90);
    return overlong_or_surrogate ? 0 : length;
}

}  // namespace detect

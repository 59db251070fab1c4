#include "utf8.h"

#include <algorithm>
#include <array>

#include "unicode_tables.h"

namespace detect {
namespace {

bool in_ranges(char32_t c, std::span<const code_point_range> ranges) {
    const auto after = std::upper_bound(ranges.begin(), ranges.end(), c,
                                        [](char32_t value, const code_point_range& range) {
                                            return value < range.first;
                                        });
    return after != ranges.begin() && c <= (after - 1)->last;
}

}  // namespace

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

std::size_t copy_whole_characters(std::string_view from, std::span<char> to) {
    if (to.empty()) {
        return 0;
    }
    std::size_t length = 0;
    while (length < from.size()) {
        const std::size_t next = std::max<std::size_t>(utf8_character_length(from.substr(length)), 1);
        if (length + next >= to.size()) {
            break;  // no room for the whole character and the NUL
        }
        length += next;
    }
    std::copy_n(from.begin(), length, to.begin());
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

char32_t utf8_code_point(std::string_view bytes, std::size_t length) {
    if (length <= 1 || length > 4) {
        return static_cast<unsigned char>(bytes[0]);
    }
    constexpr unsigned char lead_bits[] = {0, 0, 0x1F, 0x0F, 0x07};
    char32_t c = static_cast<unsigned char>(bytes[0]) & lead_bits[length];
    for (std::size_t i = 1; i < length; ++i) {
        c = (c << 6) | (static_cast<unsigned char>(bytes[i]) & 0x3F);
    }
    return c;
}

bool must_be_escaped(char32_t c) { return in_ranges(c, escaped_ranges()); }

std::size_t display_width(std::string_view text) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::string_view rest{text.data() + i, text.size() - i};
        const std::size_t length = std::max<std::size_t>(utf8_character_length(rest), 1);
        const char32_t c = length > 1 ? utf8_code_point(rest, length) : 0;
        if (length == 1) {
            ++columns;
        } else if (!in_ranges(c, no_column_ranges()) && !must_be_escaped(c)) {
            columns += in_ranges(c, two_column_ranges()) ? 2 : 1;
        }
        i += length;
    }
    return columns;
}

bool has_right_to_left(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::string_view rest{text.data() + i, text.size() - i};
        const std::size_t length = std::max<std::size_t>(utf8_character_length(rest), 1);
        if (length > 1 && in_ranges(utf8_code_point(rest, length), right_to_left_ranges())) {
            return true;
        }
        i += length;
    }
    return false;
}

std::string_view without_final_stop(std::string_view text) {
    constexpr std::array<std::string_view, 6> stops = {".", "\u3002", "\uFF0E", "\uFF61", "\u0964",
                                                       "\u06D4"};
    const auto trim_space = [&] {
        while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) {
            text.remove_suffix(1);
        }
    };
    trim_space();
    for (const std::string_view stop : stops) {
        if (text.ends_with(stop)) {
            text.remove_suffix(stop.size());
            break;
        }
    }
    trim_space();
    return text;
}

}  // namespace detect

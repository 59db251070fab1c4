#include "text_line.h"

#include <algorithm>

#include "utf8.h"

namespace detect {

void add_text(text_line& line, std::string_view text) {
    const std::size_t room = line.text.size() - 1 - line.length;
    const std::size_t taken = std::min(text.size(), room);
    std::copy_n(text.data(), taken, line.text.data() + line.length);
    line.length += taken;
    line.text[line.length] = '\0';
}

void add_texts(text_line& line, std::initializer_list<std::string_view> parts) {
    for (const std::string_view part : parts) {
        add_text(line, part);
    }
}

decimal_text::decimal_text(unsigned long value) {
    char digits[24];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::reverse_copy(digits, digits + count, text);
}

text_line escape_text(std::string_view bytes, bool keep_utf8) {
    constexpr std::string_view hex = "0123456789abcdef";
    text_line line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto value = static_cast<unsigned char>(bytes[i]);
        // Never substr: its range check would pull the exception machinery in.
        const std::string_view rest{bytes.data() + i, bytes.size() - i};
        std::size_t character = keep_utf8 && value >= 0x80 ? utf8_character_length(rest) : 0;
        // A C1 control (U+0080 to U+009F) is a character too, but some
        // terminals obey it; a bidi override or a zero-width character
        // reorders or hides what follows it wherever the text is pasted,
        // and a default-ignorable one shows as nothing. All are escaped
        // like the bytes below 0x20.
        if (character > 0) {
            const char32_t c = utf8_code_point(rest, character);
            if (c < 0xA0 || must_be_escaped(c)) {
                character = 0;
            }
        }
        if (character > 0) {
            add_text(line, std::string_view{rest.data(), character});
            i += character - 1;
        } else if (value == '\\') {
            add_text(line, "\\\\");
        } else if (value >= 0x20 && value <= 0x7E) {
            add_text(line, std::string_view{rest.data(), 1});
        } else {
            const char escaped[] = {'\\', 'x', hex[value >> 4], hex[value & 0xF]};
            add_text(line, std::string_view{escaped, sizeof escaped});
        }
    }
    return line;
}

}  // namespace detect

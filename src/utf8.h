// Windows hands out text as UTF-16; the probe's report is UTF-8, and keeps
// only whole, well-formed characters of it.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace detect {

// Writes from as UTF-8 into to, NUL-terminated, and returns the bytes
// written before the NUL. Text that does not fit is cut at the end of a
// character, never inside one; an unpaired surrogate becomes U+FFFD.
std::size_t utf8_from_utf16(std::u16string_view from, std::span<char> to);

// Copies from into to, NUL-terminated, and returns the bytes copied. Text
// that does not fit is cut before the first well-formed UTF-8 character
// that does not fit whole; any other byte counts as one character.
std::size_t copy_whole_characters(std::string_view from, std::span<char> to);

// The length of the well-formed UTF-8 character that bytes start with
// (2 to 4), or 0 when they start with none: ASCII, a stray or missing
// continuation byte, an overlong form, a surrogate, or past U+10FFFF.
std::size_t utf8_character_length(std::string_view bytes);

// The code point of the well-formed UTF-8 character that bytes start
// with, utf8_character_length(bytes) long (1 for ASCII).
char32_t utf8_code_point(std::string_view bytes, std::size_t length);

// Whether c must be escaped to be seen: it reorders or hides the text
// around it, or shows as nothing (unicode_tables.h).
bool must_be_escaped(char32_t c);

// The columns UTF-8 text takes in a terminal: none for a combining mark, a
// Hangul medial or final jamo and a character that must be escaped (it
// shows as nothing raw); two for each East Asian Wide or Fullwidth
// character; one for every other character and for each byte that starts
// none.
std::size_t display_width(std::string_view text);

// Whether UTF-8 text holds a character written right to left.
bool has_right_to_left(std::string_view text);

// A system message without what ends it: line ends, spaces and one final
// full stop, in whatever script ('.', '\u3002', '\uFF0E', '\uFF61', '\u0964',
// '\u06D4').
std::string_view without_final_stop(std::string_view text);

}  // namespace detect

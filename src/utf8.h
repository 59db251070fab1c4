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

// The length of the well-formed UTF-8 character that bytes start with
// (2 to 4), or 0 when they start with none: ASCII, a stray or missing
// continuation byte, an overlong form, a surrogate, or past U+10FFFF.
std::size_t utf8_character_length(std::string_view bytes);

}  // namespace detect

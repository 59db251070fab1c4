// Windows hands out text as UTF-16; the probe's report is UTF-8.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace detect {

// Writes from as UTF-8 into to, NUL-terminated, and returns the bytes
// written before the NUL. Text that does not fit is cut at the end of a
// character, never inside one; an unpaired surrogate becomes U+FFFD.
std::size_t utf8_from_utf16(std::u16string_view from, std::span<char> to);

}  // namespace detect

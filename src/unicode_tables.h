// Two facts of each Unicode character that a report pasted into a ticket
// depends on, as tables made from the Unicode data by
// scripts/make-unicode-tables.
#pragma once

#include <span>

namespace detect {

// first to last, both included; a table's ranges are sorted and apart.
struct code_point_range {
    char32_t first;
    char32_t last;
};

// The characters that reorder or hide the text around them: Unicode's
// format characters (Cf: bidi embeddings, overrides, isolates and marks,
// zero-width characters, the byte-order mark) and the line and paragraph
// separators (Zl, Zp).
std::span<const code_point_range> reorders_or_hides_ranges();

// The characters a terminal gives two columns: East Asian Wide and
// Fullwidth.
std::span<const code_point_range> two_column_ranges();

}  // namespace detect

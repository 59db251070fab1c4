// Four facts of each Unicode character that a report pasted into a ticket
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

// The Unicode version whose data the tables were made from, "15.0.0".
const char* unicode_version();

// The characters that reorder or hide the text around them, or show as
// nothing: Unicode's format characters (Cf: bidi embeddings, overrides,
// isolates and marks, zero-width characters, the byte-order mark), the
// line and paragraph separators (Zl, Zp), and every default-ignorable code
// point, assigned or not (variation selectors, Hangul fillers, tags).
std::span<const code_point_range> escaped_ranges();

// The characters that take no column of their own: combining marks (Mn,
// Me), and the Hangul medial and final jamo, which join the syllable
// before them.
std::span<const code_point_range> no_column_ranges();

// The characters a terminal gives two columns: East Asian Wide and
// Fullwidth.
std::span<const code_point_range> two_column_ranges();

// The characters written right to left: Bidi_Class R (Hebrew and others)
// and AL (Arabic letters).
std::span<const code_point_range> right_to_left_ranges();

}  // namespace detect

#!/usr/bin/env bash
# The report's columns as software that applies the Unicode bidirectional
# algorithm lays them out, a ticket's page among them (Debian's fribidi,
# each line a paragraph of its own direction): in every report the probe
# table prints, each interface row's address starts in the same column as
# its neighbours', right-to-left names included.
#   bidi_columns.sh DETECT-TEST
set -u
reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
KORVELIN_REPORT_DIR=$reports "$1" --gtest_filter='RunProbe.*' > /dev/null || { echo "FAILED: $1"; exit 1; }
grep -lq $'\xd7\x90' "$reports"/*.txt || { echo "FAILED: no report holds a Hebrew name"; exit 1; }
columns() {  # the columns at which the rows' addresses start, as laid out
    fribidi --nopad --nobreak --clean | python3 -c '
import re, sys, unicodedata
def width(text):
    return sum(0 if unicodedata.category(c) in ("Mn", "Me", "Cf") else
               2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)
print(" ".join(sorted({str(width(line[:m.start()])) for line in sys.stdin
                       for m in [re.search(r" \d+\.\d+\.\d+\.\d+/\d+ ", line)] if m})))'
}
failed=0
for report in "$reports"/*.txt; do
    laid_out=$(columns < "$report")
    if [[ $laid_out = *" "* ]]; then
        echo "FAILED: addresses at columns $laid_out in:"; fribidi --nopad --nobreak --clean < "$report"
        failed=1
    fi
done
[ "$failed" = 0 ] && echo "ok: every row's address in its report's one column"

#!/usr/bin/env bash
# The Windows installer under Wine, in a private network namespace, Wine
# prefix and wineserver of its own: a silent install, another build of the
# same version (the signed release over an unsigned test build) that
# replaces it, one of another .wxs that replaces that, an upgrade to a
# higher version, a refused downgrade, and a
# silent uninstall.
#   msi_install.sh MSI EXE-DIR SIGNED-MSI SIGNED-EXE-DIR VARIANT-MSI HIGHER-VERSION-MSI LOWER-VERSION-MSI
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/private_net.sh"
. "$here/../lib/checks.sh"
private_net_enter "$@"
ip link set lo up
msi=$(realpath "$1") exe_dir=$(realpath "$2") signed=$(realpath "$3") signed_exe_dir=$(realpath "$4")
variant=$(realpath "$5") higher=$(realpath "$6") lower=$(realpath "$7")
[ -x "${WINE64:-/usr/lib/wine/wine64}" ] || { echo "SKIP: wine64 is not installed"; exit 77; }
. "$here/wine_env.sh"

# Wine's menu builder would write desktop entries into the real home.
export HOME=$(mktemp -d) WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wine_down; rm -rf "$HOME"' EXIT
wine_up
installed="$WINEPREFIX/drive_c/Program Files/Korvelin Detect"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

msiexec() { wine_run msiexec "$@" /qn > /dev/null 2>&1; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
# "NAME=VALUE" for the uninstall entry's values that Add/Remove Programs shows.
entry() {
    wine_run reg query "$uninstall_key\\$(product_code "$1")" 2> /dev/null | tr -d '\r' |
        awk '$1 ~ /^(DisplayName|DisplayVersion|Publisher|NoModify|NoRepair)$/ { v = $3; for (i = 4; i <= NF; i++) v = v " " $i; print $1 "=" v }' |
        sort | paste -sd ' '
}
shortcut() { find "$WINEPREFIX/drive_c" -name "${1:-Korvelin Detect}.lnk" 2> /dev/null | head -n 1; }
targets() {  # targets NAME EXE: the link NAME names the installed EXE
    local link; link=$(shortcut "$1")
    [ -n "$link" ] && { strings -a "$link"; strings -a -el "$link"; } | grep -qi "Korvelin Detect\\\\$2"
}
same_files() {  # same_files [EXE-DIR]
    cmp "$installed/korvelin-detect.exe" "${1:-$exe_dir}/korvelin-detect.exe" &&
        cmp "$installed/korvelin-probe.exe" "${1:-$exe_dir}/korvelin-probe.exe" && test -s "$installed/README.txt" &&
        test -s "$installed/LICENSE.txt"
}
version() { msiinfo export "$1" Property | sed -n 's/^ProductVersion\t\([0-9.]*\).*/\1/p'; }
publisher=$(jq -r .publisher "$exe_dir/release.json")

check "silent install exits 0" msiexec /i "$msi"
check "both exes, README.txt and LICENSE.txt in the 64-bit Program Files, as built" same_files
check "Start-menu shortcuts to the launcher, the probe and the README" eval 'targets "Korvelin Detect" "korvelin-detect\.exe" &&
    targets "Korvelin Probe" "korvelin-probe\.exe" && targets "Korvelin Detect README" "README\.txt"'
listed="DisplayName=Korvelin Detect DisplayVersion=$(version "$msi") NoModify=0x1 NoRepair=0x1 Publisher=$publisher"
check "the uninstall entry: name, version, publisher, neither Modify nor Repair" test "$(entry "$msi")" = "$listed"

check "the signed build of the same version installs over it" msiexec /i "$signed"
check "and replaces it: one entry, the signed build's" test "$(entry "$msi")|$(entry "$signed")" = "|$listed"
check "the signed exes in place" same_files "$signed_exe_dir"

check "the same version under another .wxs installs over it" msiexec /i "$variant"
check "and replaces it: one entry, the variant's" test "$(entry "$signed")|$(entry "$variant")" = "|$listed"
check "the variant's shortcut description in place" eval 'strings -a -el "$(shortcut)" | grep -q "server page, variant"'

check "a higher version installs over it" msiexec /i "$higher"
check "and replaces it: one entry, the higher version's" \
    test "$(entry "$variant")|$(entry "$higher")" = \
    "|${listed/$(version "$msi")/$(version "$higher")}"
check "its files in place" same_files
check "a lower version is refused" eval '! msiexec /i "$lower"'
check "and leaves the higher one installed" test -n "$(entry "$higher")" -a -z "$(entry "$lower")"

check "silent uninstall exits 0" msiexec /x "$higher"
check "the files are gone" test -z "$(ls -A "$installed" 2> /dev/null)"
check "the shortcuts are gone" test -z "$(shortcut)$(shortcut "Korvelin Probe")$(shortcut "Korvelin Detect README")"
check "the entry is gone" test -z "$(entry "$higher")"
[ "$failures" = 0 ]

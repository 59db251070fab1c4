# Sourced inside a private network namespace: a fresh Wine prefix and a
# wineserver of this run's own, so Windows programs open their sockets
# there and nowhere else. wine_down must follow wine_up on every path.
#   wine_up [COMMAND-PREFIX...]   e.g. wine_up ip netns exec HOST
#   wine_run PROGRAM [ARGS...]    runs under that prefix and wine64, for 60 s at most

wine64=${WINE64:-/usr/lib/wine/wine64}
wineserver64=$(dirname "$wine64")/wineserver64
[ -x "$wineserver64" ] || wineserver64=$(dirname "$wine64")/wineserver
wine_in=()

wine_up() {
    wine_in=("$@")
    WINEPREFIX=$(mktemp -d /tmp/korvelin-wine.XXXXXX)
    export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
    "${wine_in[@]}" "$wineserver64" -p
    "${wine_in[@]}" timeout 60 "$wine64" wineboot -i > /dev/null 2>&1
}

# Bounded, like every Wine run here: a Wine that hangs fails the case
# before ctest's time-out kills the script and with it wine_down.
wine_run() { "${wine_in[@]}" timeout 60 "$wine64" "$@"; }

wine_down() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    # Never a failure of its own: it runs in exit traps, under set -e too.
    "${wine_in[@]}" "$wineserver64" -k 2>/dev/null || true
    "${wine_in[@]}" timeout 20 "$wineserver64" -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    unset WINEPREFIX
}

# A Downloads folder as anyone who can drop a file there may leave it: the
# exe, and beside it a valid DLL ($KORVELIN_PLANTED_DLL) under each name
# such files are commonly given. Left out: version, which Wine's own DLLs
# load through the exe's folder at start, where Windows takes them from
# System32 (a stand-in exe that imports the same KnownDLLs and returns at
# once loads it from there too, under Wine 8.0).
planted_names=(iphlpapi uxtheme dwmapi winmm cryptbase profapi propsys userenv secur32 dnsapi
               winhttp wininet urlmon msimg32 mswsock wldp)
plant_dlls() {  # plant_dlls EXE FOLDER
    local name
    mkdir -p "$2" && cp "$1" "$2/" || return 1
    for name in "${planted_names[@]}"; do cp "$KORVELIN_PLANTED_DLL" "$2/$name.dll" || return 1; done
}
# Wine's stand-in for Windows' search of the exe's folder first.
planted_first() { local IFS=,; echo "$WINEDLLOVERRIDES;${planted_names[*]}=n,b"; }
# The loader trace (WINEDEBUG=+loaddll) in TRACE shows no module loaded
# from a folder named FOLDER but EXE, and shows EXE.
nothing_planted_loaded() {  # nothing_planted_loaded TRACE FOLDER EXE
    local loaded
    loaded=$(sed -n 's/.*Loaded L"[^"]*\\\\'"$2"'\\\\\([^"\\]*\)".*/\1/p' "$1" | sort -u)
    echo "loaded from $2: $(paste -sd ' ' <<< "$loaded")"
    [ "$(grep -vixF "$3" <<< "$loaded")" = "" ] && grep -qixF "$3" <<< "$loaded"
}

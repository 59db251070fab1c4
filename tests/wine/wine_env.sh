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

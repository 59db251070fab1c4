# Sourced inside a private network namespace: a fresh Wine prefix and a
# wineserver of this run's own, so Windows programs open their sockets
# there and nowhere else. wine_down must follow wine_up on every path.
#   wine_up [COMMAND-PREFIX...]   e.g. wine_up ip netns exec HOST
#   wine_run PROGRAM [ARGS...]    runs under that prefix and wine64

wine64=${WINE64:-/usr/lib/wine/wine64}
wineserver64=$(dirname "$wine64")/wineserver64
[ -x "$wineserver64" ] || wineserver64=$(dirname "$wine64")/wineserver
wine_in=()

wine_up() {
    wine_in=("$@")
    WINEPREFIX=$(mktemp -d /tmp/korvelin-wine.XXXXXX)
    export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
    "${wine_in[@]}" "$wineserver64" -p
    "${wine_in[@]}" "$wine64" wineboot -i > /dev/null 2>&1
}

wine_run() { "${wine_in[@]}" "$wine64" "$@"; }

wine_down() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    "${wine_in[@]}" "$wineserver64" -k 2>/dev/null
    timeout 20 "${wine_in[@]}" "$wineserver64" -w 2>/dev/null
    rm -rf "$WINEPREFIX"
    unset WINEPREFIX
}

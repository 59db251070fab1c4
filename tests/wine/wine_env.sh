# Sourced inside a private network namespace: a fresh Wine prefix and a
# wineserver of this run's own, so Windows programs open their sockets
# here and nowhere else. wine_down must follow wine_up on every path.

wine64=${WINE64:-/usr/lib/wine/wine64}
wineserver64=$(dirname "$wine64")/wineserver64
[ -x "$wineserver64" ] || wineserver64=$(dirname "$wine64")/wineserver

wine_up() {
    WINEPREFIX=$(mktemp -d /tmp/korvelin-wine.XXXXXX)
    export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
    "$wineserver64" -p
    "$wine64" wineboot -i > /dev/null 2>&1
}

wine_down() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    "$wineserver64" -k 2>/dev/null
    "$wineserver64" -w 2>/dev/null
    rm -rf "$WINEPREFIX"
    unset WINEPREFIX
}

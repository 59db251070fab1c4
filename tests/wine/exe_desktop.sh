# Sourced after private_net.sh and wine_env.sh, inside the private
# namespace, once private_net_up and make_desktop_stand_ins have run: an
# Xvfb display, a Wine prefix and a wineserver on the client host, and the
# exe run there as a user's double-click would run it. Expects $work.
#   exe_desktop_up                start the display and Wine (wine_down ends Wine)
#   start_exe EXE / wait_exe      run the exe in the background / wait, status in $status
. "$(dirname "${BASH_SOURCE[0]}")/../lib/desktop.sh"

exe_desktop_up() {
    display_up || return 1
    wine_up on_client
    # No window manager runs here: let Wine draw the title bars itself, so
    # that a screenshot shows the caption. Its title bar buttons are glyphs
    # of Marlett, which Debian's Wine does not put into a new prefix.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f > /dev/null 2>&1 || true
    # The relay trace of start_exe shows these calls alone.
    wine_run reg add 'HKCU\Software\Wine\Debug' /v RelayInclude \
        /d 'CoInitializeEx;CoUninitialize;MessageBoxA;ShellExecuteA;WSAIoctl;sendto' /f > /dev/null 2>&1 || true
}

# Wine's trace of the COM, shell and box calls, and of every module
# loaded, goes to $work/trace.
# Started without a shell function in between, so that $exe_pid is Wine's
# own process (ip and env exec into it), which wait_exe may have to kill.
start_exe() {
    ip netns exec "$net_client" env PATH="$tools_bin:$PATH" WINEDEBUG=-all,+relay,+loaddll \
        "$wine64" "$1" some arguments 2> "$work/trace" &
    exe_pid=$!
}

wait_exe() {
    local tries=150
    while kill -0 "$exe_pid" 2>/dev/null && [ $tries -gt 0 ]; do sleep 0.1; tries=$((tries - 1)); done
    # A Wine that hangs must fail the case, not stall it until ctest's time-out.
    kill "$exe_pid" 2>/dev/null && sleep 1 && kill -KILL "$exe_pid" 2>/dev/null
    status=0
    wait "$exe_pid" || status=$?
}

# A relayed call's arguments as the exe passed them, each a 64-bit value
# in hex, a string argument followed by its text.
relayed() { sed -n "s/^.*Call $1(\(.*\)) ret=.*$/\1/p" "$work/trace"; }

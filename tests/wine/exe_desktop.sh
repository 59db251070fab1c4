# Sourced after private_net.sh and wine_env.sh, inside the private
# namespace, once private_net_up and make_desktop_stand_ins have run: an
# Xvfb display, a Wine prefix and a wineserver on the client host, and the
# exe run there as a user's double-click would run it. Expects $work.
#   exe_desktop_up                start the display and Wine (wine_down ends Wine)
#   start_exe EXE / wait_exe      run the exe in the background / wait, status in $status
#   box_shown_and_dismissed SHOT  find the "Sorry" box, photograph it, press Return

exe_desktop_up() {
    # Display numbers are shared through /tmp across namespaces: let Xvfb pick a free one.
    on_client Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3> "$work/display" > /dev/null 2>&1 &
    wait_for_file "$work/display" 5 nonempty || { echo "Xvfb did not start"; return 1; }
    export DISPLAY=:$(cat "$work/display")
    wine_up on_client
    # No window manager runs here: let Wine draw the title bars itself, so
    # that a screenshot shows the caption. Its title bar buttons are glyphs
    # of Marlett, which Debian's Wine does not put into a new prefix.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f > /dev/null 2>&1 || true
}

# Wine's trace of the shell call goes to $work/trace.
start_exe() {
    on_client env PATH="$tools_bin:$PATH" WINEDEBUG=-all,trace+exec \
        "$wine64" "$1" some arguments 2> "$work/trace" &
    exe_pid=$!
}

wait_exe() {
    local tries=150
    while kill -0 "$exe_pid" 2>/dev/null && [ $tries -gt 0 ]; do sleep 0.1; tries=$((tries - 1)); done
    kill "$exe_pid" 2>/dev/null || true
    status=0
    wait "$exe_pid" || status=$?
}

# The shell call as Wine traced it: owner,"verb","file",params,dir,show
shell_call() { sed -n 's/^.*trace:exec:ShellExecuteA //p' "$work/trace"; }

sorry_window() { on_client xdotool search --onlyvisible --name '^Sorry$' 2>/dev/null | head -n 1; }

# Wine maps the window before it paints it and ignores keys until then:
# wait for a picture that is not all black before pressing Return.
box_shown_and_dismissed() {
    local tries=100 window="" shot=$1
    while [ -z "$window" ] && [ $tries -gt 0 ]; do
        sleep 0.2; tries=$((tries - 1)); window=$(sorry_window)
    done
    [ -n "$window" ] || return 1
    for tries in $(seq 40); do
        on_client import -window root "$shot"
        convert "$shot" -format '%[fx:mean]' info: | awk '{ exit !($1 > 0) }' && break
        sleep 0.25
    done
    for tries in $(seq 20); do
        on_client xdotool key --window "$window" Return 2>/dev/null
        sleep 0.5
        [ -z "$(sorry_window)" ] && return 0
    done
    return 1
}

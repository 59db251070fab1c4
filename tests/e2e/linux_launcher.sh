#!/usr/bin/env bash
# The Linux launcher end to end on a private network of its own.
#   linux_launcher.sh CASE LAUNCHER RESPONDER ARTIFACT-DIR
# CASE is the name of one of the case_* functions below.
set -u
. "$(dirname "$0")/../lib/e2e.sh"
case_name=$1 launcher=$2 responder=$3 artifacts=$4

# Runs the launcher on the client host as a desktop session would start it,
# finding nothing but the stand-ins unless the case gives it another PATH.
# What it prints itself goes to $work/stdout and $work/stderr.
run_launcher() {
    local started
    started=$(now_ms)
    # The second env applies the case's settings, PATH among them, over that.
    on_client env PATH="$tools_bin" /usr/bin/env "$@" "$launcher" --any arguments \
        > "$work/stdout" 2> "$work/stderr"
    status=$?
    elapsed=$(( $(now_ms) - started ))
    echo "launcher exited $status after $elapsed ms"
    sed 's/^/launcher stdout: /' "$work/stdout"
    sed 's/^/launcher stderr: /' "$work/stderr"
}

# Each dialog tool's whole argument vector.
declare -A tool_args=(
    [zenity]=$'--warning\n--no-markup\n--title\nSorry\n--text\nServer wasn\'t found'
    [kdialog]=$'--title\nSorry\n--sorry\nServer wasn\'t found'
    [xmessage]=$'-center\n-title\nSorry\nServer wasn\'t found')
warned_in_box() { logged zenity "${tool_args[zenity]}"; }
silent() { [ ! -s "$work/stdout" ] && [ ! -s "$work/stderr" ]; }
the_line="Sorry: Server wasn't found"
# The tool ran in a session of its own (own) or the launcher's (shared),
# with no signal blocked or ignored: nothing the launcher inherited reaches
# it. Signals 32 and 33 are the C library's own, which no program may
# reset; an environment that ignores them passes that on.
process_clean() {  # process_clean TOOL own|shared
    local session blocked ignored
    read -r session blocked ignored < "$tools_log/$1.process"
    [ "$session" = "$2" ] && (( 0x$blocked == 0 && (0x$ignored & ~0x180000000) == 0 ))
}

# The two outcomes: the sender's page in the browser and no box, or the box
# and no browser; either way the tools' own chatter stays off the terminal.
check_opened_server_page() {  # [DESCRIPTION of the URL check]
    check "browser started" wait_for_file "$tools_log/xdg-open" 3
    check "${1:-the URL is exactly http://$server_address}" logged xdg-open "http://$server_address"
    check "xdg-open in a session of its own, with default signals" process_clean xdg-open own
    check "no warning box" not_run zenity
    check "nothing on the launcher's terminal" silent
}
check_warned() {  # [DESCRIPTION of the box check]
    check "${1:-warning box}" warned_in_box
    check "no browser" not_run xdg-open
    check "nothing on the launcher's terminal" silent
}

# The tools that ran, in the order tried, each with its arguments and
# signal state unless they are as they should be; then what the launcher
# printed on standard output (marked) and on standard error.
dialog_outcome() {
    local tool ran=()
    for tool in zenity kdialog xmessage xdg-open; do
        [ -e "$tools_log/$tool" ] || continue
        if ! logged "$tool" "${tool_args[$tool]:-}"; then
            ran+=("$tool($(paste -sd ' ' "$tools_log/$tool"))")
        elif ! process_clean "$tool" shared; then
            ran+=("$tool($(cat "$tools_log/$tool.process"))")
        else
            ran+=("$tool")
        fi
    done
    [ -s "$work/stdout" ] && ran+=("stdout: $(cat "$work/stdout")")
    [ -s "$work/stderr" ] && ran+=("$(cat "$work/stderr")")
    echo "${ran[*]}"
}

# The found path, with or without a default route. Without one Linux
# refuses the broadcast; the launcher then sends it through the link, as
# Windows would. The reply names other places to go; only its sender
# counts. The launcher starts as under nohup, with a signal blocked.
found_with_route() {  # found_with_route yes|no
    [ "$1" = no ] && ip -n "$net_client" route del default
    start_responder --send $'ANSWER = FindServer\nPRODUCT = korvelin\nURL = file:///etc/passwd\n'\
$'ADDRESS = 10.200.0.99\njavascript:alert(1)\nhttp://10.200.0.99/\n'
    run_launcher --ignore-signal=HUP --block-signal=USR1 DISPLAY=:99
    check_opened_server_page "the URL is exactly http://$server_address, the sender's, not the text's"
    check "one request, byte for byte, to 255.255.255.255" test "$(requests_seen)" = 1x255.255.255.255
    check "did not wait for the browser" test "$elapsed" -lt 3000
}
case_found() { found_with_route yes; }
case_no-gateway() { found_with_route no; }

case_no-server() {
    # A PC with several adapters: every attempt reaches both segments.
    private_net_second_segment
    start_responder
    start_responder --on "$net_server_b" "$work/requests-b"
    run_launcher DISPLAY=:99
    check "five requests on each segment, all to 255.255.255.255" \
        requests_on_both "5x255.255.255.255 | 5x255.255.255.255"
    check "nothing but requests arrived" test "$(other_datagrams)" = 0
    check "requests about 500 ms apart" requests_paced
    check "on the second segment too" requests_paced "$work/requests-b"
    check "the full 2.5 s of waiting" test "$elapsed" -ge 2400
    check_warned "warning box with caption and text"
}

case_second-segment() {
    # The default route takes the broadcast to the first segment; the
    # server is on the second, where a copy is steered through its link.
    private_net_second_segment
    start_responder
    start_responder --on "$net_server_b" "$work/requests-b" --send $'ANSWER = FindServer\n'
    run_launcher DISPLAY=:99
    server_address=$server_b_address check_opened_server_page
    check "one request on each segment, both to 255.255.255.255" \
        requests_on_both "1x255.255.255.255 | 1x255.255.255.255"
}

case_routed() {
    # A server behind a router, which does not forward the broadcast: the
    # box, though the server answers every request that reaches it.
    private_net_routed
    start_responder --on "$net_server_c" "$work/requests-c" --send 'ANSWER FindServer'
    run_launcher DISPLAY=:99
    check_warned
    check "no request reached the server behind the router" test -z "$(requests_seen "$work/requests-c")"
}

case_oversized() {
    start_responder --send-size 1025
    run_launcher DISPLAY=:99
    check "one request" test "$(requests)" = 1
    check_warned
}

# Sixty replies at once to the one request: oversized, empty and valid
# ones mixed, after a first one that decides.
burst_after() {  # burst_after FIRST-SIZE
    local burst=() i
    for i in $(seq 20); do burst+=(--send-size 4000 --send-size 0 --send-size 64); done
    start_responder --send-size "$1" "${burst[@]}"
    run_launcher DISPLAY=:99
    check "one request" test "$(requests)" = 1
    check "decided on the first reply, without further waiting" test "$elapsed" -lt 1500
}
case_burst-valid-first() { burst_after 64; check_opened_server_page; }
case_burst-rejected-first() { burst_after 1025; check_warned; }

case_dialog-choice() {
    # Which tool shows the box, given what the launcher inherited and the
    # tools missing from PATH, killed by a signal or failing: the tools
    # that ran, then what the launcher printed. The link is down: every
    # send fails and each run ends at once.
    ip -n "$net_client" link set kd-vc down
    start_responder
    local signals environment missing killed failing expected tool
    while IFS='|' read -r signals environment missing killed failing expected; do
        [ "$signals" = "#" ] && continue
        make_desktop_stand_ins "$work"
        for tool in $missing; do rm "$tools_bin/$tool"; done
        run_launcher $signals $environment STAND_INS_CRASH="$killed" STAND_INS_FAIL="$failing"
        check "${signals:+$signals; }$environment; missing: ${missing:-none}; killed: ${killed:-none}; failing: ${failing:-none}" \
            test "$(dialog_outcome)" = "$expected"
        check "no request, no waiting" test "$(requests) $((elapsed < 1500))" = "0 1"
    done <<TABLE
#|the launcher's environment|tools missing|tools killed|tools failing|the tools that ran, then its output
|-u WAYLAND_DISPLAY DISPLAY=:99||||zenity
|-u WAYLAND_DISPLAY DISPLAY=:99|zenity|||kdialog
|-u WAYLAND_DISPLAY DISPLAY=:99||zenity||zenity kdialog
|-u WAYLAND_DISPLAY DISPLAY=:99|zenity|kdialog xmessage||kdialog xmessage $the_line
|-u WAYLAND_DISPLAY DISPLAY=:99|zenity kdialog xmessage|||$the_line
|-u DISPLAY -u WAYLAND_DISPLAY||||$the_line
|DISPLAY= WAYLAND_DISPLAY=||||$the_line
|-u DISPLAY WAYLAND_DISPLAY=wayland-0||||zenity
|-u WAYLAND_DISPLAY DISPLAY=:99|||zenity|zenity $the_line
|-u WAYLAND_DISPLAY DISPLAY=:99|zenity||kdialog|kdialog $the_line
--ignore-signal=CHLD|-u WAYLAND_DISPLAY DISPLAY=:99||zenity||zenity kdialog
--block-signal --ignore-signal=HUP|-u WAYLAND_DISPLAY DISPLAY=:99|zenity|kdialog||kdialog xmessage
TABLE
}

case_real-browser() {
    # The real xdg-open hands the URL to a real browser, which loads the
    # server's page after the launcher has gone.
    needs chromium xdg-open python3 convert
    real_browser_up "$artifacts/server-page.png"
    start_responder --send 'ANSWER FindServer'
    run_launcher PATH="$tools_bin:$PATH" DISPLAY=:99
    check "exited at once, without waiting for the browser" test "$elapsed" -lt 1000
    check "the browser shows the server's page" page_shown "$artifacts/server-page.png"
}

case_real-dialog() {
    # The real zenity on a display of the client's own.
    needs zenity Xvfb xdotool import
    rm "$tools_bin/zenity"
    display_up || exit 1
    start_responder
    box_shown_and_dismissed "$artifacts/warning-box.png" & dismissing=$!
    run_launcher PATH="$tools_bin:$PATH" DISPLAY="$DISPLAY" NO_AT_BRIDGE=1
    check "zenity's box titled Sorry shown, dismissed with Return" wait "$dismissing"
    check "nothing on the launcher's terminal" silent
}

run_case "$case_name"
finish "${status:-}"

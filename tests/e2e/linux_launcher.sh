#!/usr/bin/env bash
# The Linux launcher end to end on a private two-host network.
#   linux_launcher.sh CASE LAUNCHER RESPONDER
# CASE: found | no-server | oversized | unreachable | hostile-text |
#       burst-valid-first | burst-rejected-first
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/private_net.sh"
. "$here/checks.sh"
private_net_enter "$@"

case_name=$1 launcher=$2 responder=$3
work=$(mktemp -d)
trap 'private_net_stop; rm -rf "$work"' EXIT
private_net_up
make_desktop_stand_ins "$work"

# Runs the launcher on the client host as a desktop session would start it.
run_launcher() {
    local started
    started=$(now_ms)
    on_client env "$@" PATH="$tools_bin:$PATH" "$launcher" --any arguments 2> "$work/stderr"
    status=$?
    elapsed=$(( $(now_ms) - started ))
    echo "launcher exited $status after $elapsed ms"
    sed 's/^/launcher stderr: /' "$work/stderr"
}

warned_in_box() { logged zenity $'--warning\n--no-markup\n--title=Sorry\n--text=Server wasn\'t found'; }

# The two outcomes: the sender's page in the browser and no box, or the box
# and no browser.
check_opened_server_page() {  # [DESCRIPTION of the URL check]
    check "browser started" wait_for_file "$tools_log/xdg-open" 3
    check "${1:-the URL is exactly http://$server_address}" logged xdg-open "http://$server_address"
    check "no warning box" not_run zenity
}
check_warned() {  # [DESCRIPTION of the box check]
    check "${1:-warning box}" warned_in_box
    check "no browser" not_run xdg-open
}

case $case_name in
found)
    start_responder --send $'ANSWER = FindServer\nPRODUCT = korvelin\nURL = http://192.168.9.9\n'
    run_launcher DISPLAY=:99
    check_opened_server_page
    check "one request, byte for byte" test "$(requests)" = 1
    check "did not wait for the browser" test "$elapsed" -lt 3000
    ;;
no-server)
    start_responder
    run_launcher DISPLAY=:99
    check "five requests" test "$(requests)" = 5
    check "nothing but requests arrived" test "$(other_datagrams)" = 0
    check "requests about 500 ms apart" requests_paced
    check "the full 2.5 s of waiting" test "$elapsed" -ge 2400
    check_warned "warning box with caption and text"
    ;;
oversized)
    start_responder --send-size 1025
    run_launcher DISPLAY=:99
    check "one request" test "$(requests)" = 1
    check_warned
    ;;
hostile-text)
    # The reply names other places to go; only its sender counts.
    start_responder --send $'ANSWER = FindServer\nURL = file:///etc/passwd\nADDRESS = 10.200.0.99\n'\
$'javascript:alert(1)\nhttp://10.200.0.99/\n'
    run_launcher DISPLAY=:99
    check_opened_server_page "the URL is the sender's, not the text's"
    ;;
burst-valid-first | burst-rejected-first)
    # Sixty replies at once to the one request: oversized, empty and valid
    # ones mixed; the first decides.
    burst=()
    for i in $(seq 20); do burst+=(--send-size 4000 --send-size 0 --send-size 64); done
    if [ "$case_name" = burst-valid-first ]; then
        start_responder --send-size 64 "${burst[@]}"
    else
        start_responder --send-size 1025 "${burst[@]}"
    fi
    run_launcher DISPLAY=:99
    check "one request" test "$(requests)" = 1
    check "decided on the first reply, without further waiting" test "$elapsed" -lt 1500
    if [ "$case_name" = burst-valid-first ]; then check_opened_server_page; else check_warned; fi
    ;;
unreachable)
    # Without a default route every send fails: no waits, no display, so the
    # warning goes to standard error.
    ip -n "$net_client" route del default
    start_responder
    run_launcher -u DISPLAY -u WAYLAND_DISPLAY
    check "no request arrived" test "$(requests)" = 0
    check "gave up without the 2.5 s of waiting" test "$elapsed" -lt 1500
    check "warning on standard error" test "$(cat "$work/stderr")" = "Sorry: Server wasn't found"
    check "no dialog tool without a display" not_run zenity
    check "no browser" not_run xdg-open
    ;;
*)
    echo "unknown case $case_name" >&2; exit 2 ;;
esac

finish "$status"

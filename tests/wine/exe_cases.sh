#!/usr/bin/env bash
# The Windows exe end to end under Wine, on the private two-host network,
# with an Xvfb display, a wineserver and a prefix made on the client host.
#   exe_cases.sh CASE EXE RESPONDER ARTIFACT-DIR
# CASE: found | no-server | oversized
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/private_net.sh"
. "$here/../e2e/checks.sh"
private_net_enter "$@"

case_name=$1 exe=$2 responder=$3 artifacts=$4
for tool in Xvfb xdotool import; do
    command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -x "${WINE64:-/usr/lib/wine/wine64}" ] || { echo "SKIP: wine64 is not installed"; exit 77; }
[ -x "$responder" ] || { echo "SKIP: no native responder at $responder (build the linux preset)"; exit 77; }
. "$here/wine_env.sh"

work=$(mktemp -d)
trap 'wine_down; private_net_stop; rm -rf "$work"' EXIT
private_net_up
make_desktop_stand_ins "$work"
mkdir -p "$artifacts"

# Display numbers are shared through /tmp across namespaces: let Xvfb pick a free one.
on_client Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3> "$work/display" > /dev/null 2>&1 &
wait_for_file "$work/display" 5 nonempty || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$work/display")
wine_up on_client

# Starts the exe in the background; Wine's trace of the shell call goes to
# $work/trace. Leaves its pid in $exe_pid.
start_exe() {
    on_client env PATH="$tools_bin:$PATH" WINEDEBUG=-all,trace+exec \
        "$wine64" "$exe" some arguments 2> "$work/trace" &
    exe_pid=$!
}

# Waits for the exe to end; its status lands in $status.
wait_exe() {
    local tries=150
    while kill -0 "$exe_pid" 2>/dev/null && [ $tries -gt 0 ]; do sleep 0.1; tries=$((tries - 1)); done
    kill "$exe_pid" 2>/dev/null
    wait "$exe_pid"
    status=$?
}

sorry_window() { on_client xdotool search --onlyvisible --name '^Sorry$' 2>/dev/null | head -n 1; }

# The warning box: found, photographed once Wine has painted it (it maps the
# window first and ignores keys until then), dismissed with Return.
box_shown_and_dismissed() {
    local tries=100 window="" shot=$artifacts/warning-box.png
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

shell_handed() {  # the exact ShellExecuteA call: owner, verb, URL, no params, no dir, SW_SHOW
    grep -Eq "trace:exec:ShellExecuteA [0-9A-Fa-f]+,\"open\",\"$1\",\(null\),\(null\),5$" "$work/trace"
}

no_shell_call() { ! grep -q ShellExecuteA "$work/trace"; }

case $case_name in
found)
    start_responder --send $'ANSWER = FindServer\nPRODUCT = korvelin\nURL = file:///C:/x\n'
    start_exe
    wait_exe
    check "shell asked to open exactly http://$server_address" shell_handed "http://$server_address"
    check "browser bridge reached xdg-open" wait_for_file "$tools_log/xdg-open" 5
    check "xdg-open got the URL" logged xdg-open "http://$server_address/"
    check "one request, byte for byte" test "$(requests)" = 1
    check "no window" test -z "$(sorry_window)"
    ;;
no-server|oversized)
    if [ "$case_name" = oversized ]; then start_responder --send-size 1025; else start_responder; fi
    start_exe
    check "warning box titled Sorry shown and dismissed" box_shown_and_dismissed
    wait_exe
    if [ "$case_name" = oversized ]; then
        check "one request" test "$(requests)" = 1
    else
        check "five requests" test "$(requests)" = 5
        check "requests about 500 ms apart" requests_paced
    fi
    check "shell not asked to open anything" no_shell_call
    check "no browser" not_run xdg-open
    ;;
*)
    echo "unknown case $case_name" >&2; exit 2 ;;
esac

finish "$status"

#!/usr/bin/env bash
# The Windows exe end to end under Wine, on the private two-host network,
# with an Xvfb display, a wineserver and a prefix made on the client host.
#   exe_cases.sh CASE EXE RESPONDER ARTIFACT-DIR
# CASE is the name of one of the case_* functions below.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/e2e.sh"
case_name=$1 exe=$2 responder=$3 artifacts=$4
[ -x "${WINE64:-/usr/lib/wine/wine64}" ] || { echo "SKIP: wine64 is not installed"; exit 77; }
[ -x "$responder" ] || { echo "SKIP: no native responder (configure with -DKORVELIN_RESPONDER=PATH)"; exit 77; }
. "$here/wine_env.sh"
. "$here/exe_desktop.sh"
needs Xvfb xdotool import
exe_desktop_up || exit 1

# The exact calls. Relay prints 64-bit values; an int on the x64 stack (the
# show command) has only its low 32 bits defined: its last 8 hex digits.
shell_handed() {  # owner, "open", the URL, no parameters, no directory, SW_SHOW
    grep -Eqx "[0-9a-f]+,[0-9a-f]+ \"open\",[0-9a-f]+ \"$1\",0+,0+,[0-9a-f]*00000005" \
        <<< "$(relayed shell32.ShellExecuteA)"
}
box_shown_as_warning() {  # no owner, the text, then the caption, MB_ICONWARNING | MB_OK
    grep -Eqx "0+,[0-9a-f]+ \"Server wasn't found\",[0-9a-f]+ \"Sorry\",[0-9a-f]*00000030" \
        <<< "$(relayed user32.MessageBoxA)"
}
no_shell_call() { [ -z "$(relayed shell32.ShellExecuteA)" ]; }
# SIO_UDP_CONNRESET with its 4-byte BOOL, before the first request leaves.
icmp_errors_off_first() {
    grep -oE 'Call ws2_32\.(WSAIoctl\([0-9a-f]+,0*9800000c,[0-9a-f]+,0*4,|sendto\()' "$work/trace" |
        head -n 1 | grep -q WSAIoctl
}

# COM initialised for this thread, apartment-threaded without OLE1 DDE
# (0x2 | 0x4), before the shell call and released after it. Wine's ole32
# forwards both calls to combase.
com_around_shell_call() {
    grep -oE 'Call [a-z0-9]+\.(CoInitializeEx\(00000000,00000006\)|CoUninitialize\(\)|ShellExecuteA\()' \
        "$work/trace" | sed 's/^Call [a-z0-9]*\.//; s/(.*//' | paste -sd ' ' |
        grep -qx 'CoInitializeEx ShellExecuteA CoUninitialize'
}

# Without a default route the limited broadcast fails under Wine; the
# subnet's own broadcast address still reaches the server.
found_with_route() {  # found_with_route yes|no
    local to=255.255.255.255
    [ "$1" = no ] && { ip -n "$net_client" route del default; to=10.200.0.255; }
    start_responder --send $'ANSWER = FindServer\nPRODUCT = korvelin\nURL = file:///C:/x\n'
    start_exe "$exe"
    wait_exe
    check "shell asked to open exactly http://$server_address" shell_handed "http://$server_address"
    check "browser bridge reached xdg-open" wait_for_file "$tools_log/xdg-open" 5
    check "xdg-open got the URL" logged xdg-open "http://$server_address/"
    check "one request, byte for byte, to $to" test "$(requests_seen)" = "1x$to"
    check "no window" test -z "$(sorry_window)"
    check "COM initialised around the shell call" com_around_shell_call
    check "ICMP errors turned off before the first send" icmp_errors_off_first
}
case_found() { found_with_route yes; }
case_no-gateway() { found_with_route no; }

case_real-browser() {
    # Wine's browser bridge, the real xdg-open and a real browser.
    needs chromium xdg-open python3
    real_browser_up "$artifacts/server-page.png"
    start_responder --send 'ANSWER FindServer'
    start_exe "$exe"
    wait_exe
    # Wine's own start-up varies with the load; the browser takes longer.
    check "gone before the browser had loaded the page" test ! -e "$artifacts/server-page.png"
    check "the browser shows the server's page" page_shown "$artifacts/server-page.png"
}

case_second-segment() {
    private_net_second_segment
    start_responder
    start_responder --on "$net_server_b" "$work/requests-b" --send 'ANSWER FindServer'
    start_exe "$exe"
    wait_exe
    check "shell asked to open exactly http://$server_b_address" shell_handed "http://$server_b_address"
    check "one request on each segment" requests_on_both "1x255.255.255.255 | 1x10.201.0.255"
}

# The warning box, shown and dismissed; then what reached the shell.
check_warned() {
    check "warning box titled Sorry shown and dismissed" box_shown_and_dismissed "$artifacts/warning-box.png"
    wait_exe
    check "MessageBoxA(NULL, \"Server wasn't found\", \"Sorry\", 0x30)" box_shown_as_warning
    check "shell not asked to open anything" no_shell_call
    check "no browser" not_run xdg-open
}

case_no-server() {
    private_net_second_segment
    start_responder
    start_responder --on "$net_server_b" "$work/requests-b"
    start_exe "$exe"
    check_warned
    # The limited broadcast on the first segment, the directed broadcast
    # of 10.201.0.0/24 on the second.
    check "five requests on each segment" requests_on_both "5x255.255.255.255 | 5x10.201.0.255"
    check "requests about 500 ms apart" requests_paced
    check "on the second segment too" requests_paced "$work/requests-b"
}

case_routed() {
    private_net_routed
    start_responder --on "$net_server_c" "$work/requests-c" --send 'ANSWER FindServer'
    start_exe "$exe"
    check_warned
    check "no request reached the server behind the router" test -z "$(requests_seen "$work/requests-c")"
}

case_oversized() {
    start_responder --send-size 1025
    start_exe "$exe"
    check_warned
    check "one request" test "$(requests)" = 1
}

case_planted-dlls() {
    # Run from a Downloads folder holding DLLs that someone else put there:
    # the usual box, then the usual server, and nothing loaded from there.
    local folder=$work/Downloads
    check "the folder planted" plant_dlls "$exe" "$folder"
    start_responder
    WINEDLLOVERRIDES=$(planted_first) start_exe "$folder/${exe##*/}"
    check_warned
    check "no DLL from its folder while warning" nothing_planted_loaded "$work/trace" Downloads "${exe##*/}"
    private_net_stop "$net_server"
    start_responder --send 'ANSWER FindServer'
    WINEDLLOVERRIDES=$(planted_first) start_exe "$folder/${exe##*/}"
    wait_exe
    check "shell asked to open exactly http://$server_address" shell_handed "http://$server_address"
    check "no DLL from its folder while opening" nothing_planted_loaded "$work/trace" Downloads "${exe##*/}"
}

run_case "$case_name"
finish "${status:-}"

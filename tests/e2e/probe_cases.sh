#!/usr/bin/env bash
# The probe end to end on a private network of its own: the Linux build, or
# the exe under Wine with a prefix and wineserver made on the client host.
#   probe_cases.sh linux|wine CASE PROBE RESPONDER ARTIFACT-DIR
# CASE is the name of one of the case_* functions below.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/e2e.sh"
private_net_second_segment
platform=$1 case_name=$2 probe=$3 responder=$4 artifacts=$5
if [ "$platform" = wine ]; then
    [ -x "${WINE64:-/usr/lib/wine/wine64}" ] || { echo "SKIP: wine64 is not installed"; exit 77; }
    [ -x "$responder" ] || { echo "SKIP: no native responder (configure with -DKORVELIN_RESPONDER=PATH)"; exit 77; }
    . "$here/../wine/wine_env.sh"
    # A console window of its own needs a display, made before Wine starts.
    if [ "$case_name" = double-click ]; then
        needs Xvfb xdotool import
        display_up || exit 1
        # The saved report's Documents folder may lead into the home.
        export HOME=$work/home && mkdir "$HOME"
    fi
    wine_up on_client
fi

# Runs the probe on the client host with its output captured: the report
# in $work/report (Windows line ends made plain), its errors in
# $work/errors, its status in $status. The desktop tools on PATH are
# stand-ins that record any start.
run_probe() {
    local under=()
    [ "$platform" = wine ] && under=("$wine64")
    on_client timeout 30 env PATH="$tools_bin:$PATH" "${under[@]}" "$probe" "$@" \
        > "$work/raw" 2> "$work/errors" < /dev/null
    status=$?
    tr -d '\r' < "$work/raw" > "$work/report"
    echo "probe exited $status"
    sed 's/^/| /' "$work/report"
    sed 's/^/stderr: /' "$work/errors"
}

reported() { grep -qF -- "$1" "$work/report"; }
# The answers' lines, "N. ADDRESS accepted|rejected: REASON", reduced to
# "ADDRESS accepted|rejected: REASON", in the order of the report (or of
# the part of it in FILE).
answers() {  # [FILE]
    sed -n 's/^  [0-9]*\. \([0-9.]*\) *\(.*\)$/\1 \2/p' "${1:-$work/report}" | paste -sd '|'
}
gone() { ! kill -0 "$1" 2> /dev/null; }
five_requests() { [ "$(requests)" = 5 ]; }
no_desktop_tool() { not_run xdg-open && not_run zenity && not_run kdialog && not_run xmessage; }
# Wine never reports a point-to-point interface; it does say that the tun
# device cannot broadcast.
tun_skipped() {
    local why=point-to-point
    [ "$platform" = wine ] && why='cannot broadcast'
    grep -Eqx "  kd-tun +10\.202\.0\.1/24$category +skipped: $why" "$work/report"
}
valid_reply=$'ANSWER = FindServer\nPRODUCT = korvelin\n'
# Between an address and its decision, Windows shows its network's category.
category='( +(Public|Private|Domain|-|\?))?'

case_mixed-replies() {
    # A host on the first segment answers first, but not as a server does;
    # the first segment's server next, the second's 100 ms later.
    ip -n "$net_server" addr add 10.200.0.3/24 dev kd-vs
    start_responder --send-from 10.200.0.3 'ANSWER = hello' --send "$valid_reply"
    start_responder --on "$net_server_b" "$work/requests-b" --delay 100 --send "$valid_reply"
    run_probe
    check "exit status 1: the launcher would show the box" test "$status" = 1
    check "in order: the stray, rejected; both servers, accepted" \
        test "$(answers)" = '10.200.0.3 rejected: no "FindServer"|10.200.0.2 accepted|10.201.0.2 accepted'
    check "each sender answered all five attempts" test "$(grep -c '^     5 datagrams, ' "$work/report")" = 3
    check "the tun device skipped (Linux: as point-to-point)" tun_skipped
    check "the conclusion names the rejected first answer and the accepted later ones" \
        grep -Eq "^korvelin-detect would show \"Server wasn't found\": the first answer, from 10\.200\.0\.3, was rejected \(no \"FindServer\"\)\. .* came later from 10\.200\.0\.2, 10\.201\.0\.2\.$" "$work/report"
}

case_found() {
    start_responder --send "$valid_reply"
    run_probe
    check "exit status 0: the launcher would open the page" test "$status" = 0
    check "the conclusion names http://$server_address" reported "korvelin-detect would open http://$server_address"
    check "no browser and no dialog tool started" no_desktop_tool
    check "five requests, all sent" test "$(requests)" = 5
    # Wine's firewall object answers every question with E_NOTIMPL; Linux
    # reads none. The status is the one above.
    if [ "$platform" = wine ]; then
        check "the firewall's profiles could not be read, with Wine's E_NOTIMPL" \
            grep -Eqx '  which profiles are active could not be read: .*\(error 0x80004001\)' "$work/report"
        # Wine's network list gives every adapter's network, Public.
        check "each network's category, as Wine gives it" \
            grep -Eqx '  kd-vc-b +10\.201\.0\.1/24 +Public +asked: a copy to 10\.201\.0\.255' "$work/report"
    else
        check "no firewall section, no categories" test -z "$(grep -E 'Windows Defender Firewall|categor' "$work/report")"
    fi
}

# A web server, or a proxy, on the server host, its requests' first lines
# logged in $work/web-PORT.
start_web() {  # start_web MODE [ADDRESS [PORT]]
    local log=$work/web-${3:-80}
    rm -f "$log"
    on_server python3 "$here/web_stand_in.py" "${2:-$server_address}" "${3:-80}" "$1" "$log" > "$log.out" 2>&1 &
    wait_for_file "$log" 10 || { echo "the web stand-in did not start:"; cat "$log.out"; }
}
# The page's section, and the last line's sentence on it, for a server
# that answers the broadcast; within the bounds of discovery (2.5 s) and
# the page's (3 s to connect, 3 s for the head), and Wine's start.
page_case() {  # page_case MODE SECTION-LINE-REGEX SENTENCE
    start_responder --send "$valid_reply"
    [ "$1" = none ] || start_web "$1"
    # A user's own browser for http, as mimeapps.list names it.
    mkdir -p "$work/config" "$work/data/applications"
    printf '[Default Applications]\nx-scheme-handler/http=kd-browser.desktop\n' > "$work/config/mimeapps.list"
    printf '[Desktop Entry]\nType=Application\nName=KD\nExec=true %%u\n' > "$work/data/applications/kd-browser.desktop"
    local started=$SECONDS
    XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data run_probe
    check "exit status 0, as before" test "$status" = 0
    check "within the bounds" test $((SECONDS - started)) -le $([ "$platform" = wine ] && echo 20 || echo 10)
    check "the page's section" grep -Eqx "  Asked directly, port 80: $2" "$work/report"
    check "the last line's sentence" grep -qF -- "$3" <(tail -n 1 "$work/report")
    check "no raw control byte on standard output" test -z "$(tr -d '\n\r[:print:]' < "$work/raw" | od -An -tx1)"
    if [ "$platform" = wine ]; then
        check "the program for http, as Wine registers it" grep -Eiq '^  Program for http URLs: .*winebrowser' "$work/report"
        check "the proxy a fresh prefix sets: auto-detect, finding none" \
            grep -q '^  Proxy, as Internet Options set it: detect automatically: on; script: none; proxy server: none' "$work/report"
    else
        check "the program for http, as the user's mimeapps.list names it" reported "  Program for http URLs: kd-browser.desktop"
        check "the proxy not read" reported "  Proxy: not read: browsers on Linux follow the desktop's own proxy settings"
    fi
}

case_page-answers() {
    page_case ok 'connected after [0-9]+ ms; "HTTP/1\.0 200 OK"' "The page at http://$server_address answers \"HTTP/1.0 200 OK\"."
    check "one GET of the page, as a browser asks" test "$(cat "$work/web-80")" = "GET / HTTP/1.1"
}
case_page-redirect() {
    page_case redirect "connected after [0-9]+ ms; \"HTTP/1\\.1 302 Found\", Location \"http://$server_address/login\"" \
        "answers \"HTTP/1.1 302 Found\" and redirects to \"http://$server_address/login\"."
    check "the redirect not followed" test "$(wc -l < "$work/web-80")" = 1
}
case_page-refused() {
    page_case none 'no connection: .*' "The page at http://$server_address refuses the connection on port 80: its web service is down"
}
case_page-drops() {
    page_case drop 'no connection: none within 3000 ms, .*' "The page at http://$server_address takes no connection on port 80 within 3000 ms"
}
case_page-silent() {
    page_case silent 'connected after [0-9]+ ms; no whole head within 3000 ms; 0 bytes came' \
        "The page at http://$server_address takes the connection but sends no whole head within 3000 ms."
}
case_page-binary() {
    page_case binary 'connected after [0-9]+ ms; not an HTTP answer, first bytes "\\x1b\[2J\\x1b\]0;owned\\x07\\x00\\xff.*' \
        "The page at http://$server_address sends no HTTP answer."
}

# Internet Options as Wine reads them: DefaultConnectionSettings, flags
# 2 for a fixed proxy, 4 for a PAC file; then the proxy, the bypass list
# and the PAC file's address, each after its length.
proxy_settings() {  # proxy_settings FLAGS PROXY BYPASS PAC-URL
    le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
    local value field
    value=$(le32 70)$(le32 1)$(le32 "$1")
    for field in "$2" "$3" "$4"; do value+=$(le32 ${#field})$(printf '%s' "$field" | od -An -tx1 -v | tr -d ' \n'); done
    wine_run reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections' \
        /v DefaultConnectionSettings /t REG_BINARY /d "$value$(printf '0%.0s' {1..64})" /f > /dev/null 2>&1
}

case_proxy() {
    [ "$platform" = wine ] || { echo "SKIP: the probe reads Internet Options alone"; exit 77; }
    ip -n "$net_server" addr add 10.200.0.3/24 dev kd-vs
    start_responder --send "$valid_reply"
    start_web ok
    start_web forbidden 10.200.0.3 3128
    start_web pac 10.200.0.3 8000
    local through="A browser goes to http://$server_address through the proxy \"10.200.0.3:3128\", which answers \"HTTP/1.1 403 Forbidden\"; asked directly, the page answers \"HTTP/1.0 200 OK\"."
    proxy_settings 2 10.200.0.3:3128 '<local>' ''
    run_probe
    check "a fixed proxy, <local> matching no address: its 403, and the page asked directly" grep -qF -- "$through" "$work/report"
    check "asked through the proxy as a browser asks it" grep -qx "GET http://$server_address/ HTTP/1.1" "$work/web-3128"
    proxy_settings 2 10.200.0.3:3128 '*.corp;10.200.*' ''
    run_probe
    check "the bypass list holding the address: directly" \
        reported '  A browser goes directly, as the bypass list holds the address, past "10.200.0.3:3128"'
    proxy_settings 4 '' '' http://10.200.0.3:8000/proxy.pac
    run_probe
    check "the PAC file fetched and run" reported '  The script, asked for this page: "10.200.0.3:3128"'
    check "the proxy it names asked, its 403 in the last line" grep -qF -- "$through" "$work/report"
    check "each exit status 0, as before" test "$status" = 0
}

case_no-server() {
    run_probe
    check "exit status 1" test "$status" = 1
    check "nothing answered" reported "nothing answered"
    check "the second segment gets a copy" \
        grep -Eq "^  [-a-z]+ +10\.201\.0\.1/24$category +asked: a copy (through this link|to 10\.201\.0\.255)\$" "$work/report"
    check "nothing on standard error" test ! -s "$work/errors"
}

case_no-interface() {
    # Every link down: no send can leave.
    ip -n "$net_client" link set kd-vc down
    ip -n "$net_client" link set kd-vc-b down
    ip -n "$net_client" link set kd-tun down
    run_probe
    check "exit status 2" test "$status" = 2
    check "says why on standard error" grep -q "every send was refused" "$work/errors"
}

case_escaping() {
    # The kernel takes an ESC in a link's name; Wine hands it on as it is.
    ip -n "$net_client" link add $'kd-\ex' type veth peer name kd-esc-peer
    ip -n "$net_client" addr add 10.203.0.1/24 dev $'kd-\ex'
    ip -n "$net_client" link set $'kd-\ex' up
    ip -n "$net_client" link set kd-esc-peer up
    start_responder --send $'ANSWER FindServer \e[2J\e]0;owned\a\x01\x7f\xff end'
    run_probe
    check "exit status 0" test "$status" = 0
    check "the reply's control bytes escaped" reported '\x1b[2J\x1b]0;owned\x07\x01\x7f\xff end'
    check "the link's name escaped" grep -Eq '^  kd-\\x1bx +10\.203\.0\.1/24 ' "$work/report"
    check "no raw control byte on standard output" \
        test -z "$(tr -d '\n\r[:print:]' < "$work/raw" | od -An -tx1)"
}

case_many-addresses() {
    # More addresses than the list keeps: the first 128, and the server on
    # the second segment still asked. The extra ones are /32s of that link.
    local host
    for host in $(seq 1 130); do
        ip -n "$net_client" addr add "10.211.0.$host/32" dev kd-vc-b
    done
    start_responder
    start_responder --on "$net_server_b" "$work/requests-b" --send "$valid_reply"
    run_probe
    check "exit status 0: found on the second segment" test "$status" = 0
    check "the conclusion names http://$server_b_address" reported "korvelin-detect would open http://$server_b_address"
    check "128 addresses listed" test "$(grep -cE "^  .* [0-9.]+/[0-9]+$category +(asked|skipped)" "$work/report")" = 128
    check "the second segment asked" grep -Eq "^  kd-vc-b +10\.201\.0\.1/24$category +asked: " "$work/report"
}

case_arguments() {
    start_responder --send "$valid_reply"
    run_probe --version
    check "--version: exit 0 and the version" test "$status $(cat "$work/report")" = "0 korvelin-probe $(project_version "$here/../..")"
    run_probe --help
    check "--help: exit 0 and the usage" test "$status $(grep -c '^usage: korvelin-probe' "$work/report")" = "0 1"
    run_probe --wrong
    check "another argument: exit 2, usage on standard error" \
        test "$status $(grep -c '^usage: korvelin-probe' "$work/errors")" = "2 1"
    # No address the probe can ask, each refused naming it.
    local bad
    for bad in server.example 300.1.1.1 010.1.1.1 0.0.0.0 255.255.255.255 224.0.0.251 127.0.0.1 ''; do
        run_probe "$bad"
        check "'$bad': exit 2, and standard error names it" eval 'test "$status" = 2 && grep -qF -- "'"'"'$bad'"'"' is no address" "$work/errors"'
    done
    run_probe "$server_address" 10.200.0.3
    check "two addresses: exit 2, and standard error names the second" \
        eval 'test "$status" = 2 && grep -qF "'"'"'10.200.0.3'"'"' is one too many" "$work/errors"'
    run_probe 10.200.0.255
    check "the segment's own broadcast address: exit 2, naming it and its segment" eval 'test "$status" = 2 &&
        grep -qF "'"'"'10.200.0.255'"'"' is the broadcast address of the segment of 10.200.0.1/24" "$work/errors"'
    # Typed in full-width digits and stops: best fit would make it 10.200.0.2.
    local typed=$'\uff11\uff10\uff0e\uff12\uff10\uff10\uff0e\uff10\uff0e\uff12' shown
    shown=$( [ "$platform" = wine ] && echo "$typed" || printf '%s' "$typed" | od -An -tx1 -v | sed 's/ /\\x/g' | tr -d '\n')
    LANG=C.UTF-8 run_probe "$typed"
    check "typed in full width: exit 2, named as typed" eval 'test "$status" = 2 && grep -qF -- "'"'"'$shown'"'"' is no address" "$work/errors"'
    check "no request sent for any of them" test "$(requests)" = 0
}

# A server's address asked directly: the report's section for it, and the
# conclusion's sentence.
direct_section() {  # direct_section ANSWERS: "none", or the answers' lines as answers() gives them
    sed -n '/^Asked directly: /,/^$/p' "$work/report" > "$work/direct"
    local listed
    listed=$(answers "$work/direct")
    test "${listed:-$(grep -x '  none' "$work/direct" | tr -d ' ')}" = "$1"
}

case_routed() {
    private_net_routed
    start_responder --on "$net_server_c" "$work/requests-c" --send "$valid_reply"
    run_probe "$server_c_address"
    check "exit status 1: the launcher would show the box" test "$status" = 1
    check "asked directly, five times, and by broadcast never" test "$(requests_seen "$work/requests-c")" = "5x$server_c_address"
    check "its answer listed under the direct request" direct_section "$server_c_address accepted"
    check "a router lies between" reported "$server_c_address answers a direct request, but a router lies between this PC and it"
}

case_direct-unanswered() {
    if [ "$platform" = wine ]; then
        # Started as some tools start a program: CreateProcess given its
        # name apart, and a command line that begins with a space.
        cp "$probe" "$WINEPREFIX/drive_c/korvelin-probe.exe"
        probe=$KORVELIN_START_NAMED run_probe 'C:\korvelin-probe.exe' "$server_address"
        check "the address found after the command line's leading space" reported "Asked directly: $server_address,"
    else
        run_probe "$server_address"
    fi
    check "exit status 1" test "$status" = 1
    check "no answer to the direct request" direct_section none
    check "nothing answered the direct request" reported "As for $server_address, nothing answered the direct request"
}

case_broadcast-ignored() {
    # On the client's own segment, answering its own address alone.
    start_responder --unicast-only --send "$valid_reply"
    run_probe "$server_address"
    check "exit status 1" test "$status" = 1
    check "no answer to the broadcast" test "$(grep -A1 '^Answers, in order of arrival:' "$work/report" | tail -n 1)" = "  none"
    check "its answer under the direct request" direct_section "$server_address accepted"
    check "answers directly, but not the broadcast" \
        reported "$server_address answers directly, but not the broadcast, and is on the same segment as 10.200.0.1"
}

case_two-addresses() {
    # Asked by its second address, the server answers from its first.
    ip -n "$net_server" addr add 10.200.0.4/24 dev kd-vs
    start_responder --send "$valid_reply"
    run_probe 10.200.0.4
    check "exit status 0: the launcher would open the page" test "$status" = 0
    check "nothing from the address asked" test "$(grep -A1 '^Answers to it:' "$work/report" | tail -n 1)" = "  none"
    check "its first address's answers listed apart" \
        eval 'grep -A1 "^From other addresses, to the same socket:" "$work/report" | grep -Eq "^  1\. $server_address +accepted"'
    check "the conclusion says so" reported \
        "Nothing answered from 10.200.0.4 itself; $server_address answered the direct request and the broadcast"
    check "no firewall, no dropped broadcast" test -z "$(grep -E 'drops the broadcast|Likely cause' "$work/report")"
}

case_point-to-point() {
    # Server D across a /31 link of the client's, where no broadcast goes.
    ip link add kd-vc-p type veth peer name kd-vs-p
    ip link set kd-vc-p netns "$net_client"
    ip link set kd-vs-p netns "$net_server_b"
    ip -n "$net_client" addr add 10.206.0.0/31 dev kd-vc-p
    ip -n "$net_server_b" addr add 10.206.0.1/31 dev kd-vs-p
    ip -n "$net_client" link set kd-vc-p up
    ip -n "$net_server_b" link set kd-vs-p up
    start_responder --on "$net_server_b" "$work/requests-b" --unicast-only --send "$valid_reply"
    run_probe 10.206.0.1
    check "exit status 1" test "$status" = 1
    check "the /31 skipped" grep -Eq '^  kd-vc-p +10\.206\.0\.0/31 +.*skipped: /31 or /32' "$work/report"
    check "the launcher does not broadcast there, and why" reported \
        "10.206.0.1 answers a direct request and is on the segment of 10.206.0.0, but korvelin-detect does not broadcast there (skipped: /31 or /32, no broadcast address)."
    check "no firewall, no dropped broadcast" test -z "$(grep -E 'drops the broadcast|Likely cause' "$work/report")"
}

case_no-route() {
    # No default route: the direct request to an address beyond the
    # attached segments cannot leave.
    ip -n "$net_client" route del default
    run_probe 10.99.0.1
    check "the direct request could not be sent, with the system's error" \
        grep -Eq '^korvelin-detect would .* No direct request to 10\.99\.0\.1 could be sent \((error 100(51|65)|.* \(error 101\))\), so the probe cannot tell anything of it\.$' "$work/report"
    check "nothing said of the server or the path" test -z "$(grep -E 'server is off|router lies|answers' "$work/report" | grep -v '^Answers')"
}

case_double-click() {
    # Explorer gives a console program started by a double-click a console
    # window of its own, as Wine's start does; a Linux terminal outlives it.
    [ "$platform" = wine ] || { echo "SKIP: a console window of its own is Windows' alone"; exit 77; }
    start_responder
    cp "$probe" "$WINEPREFIX/drive_c/korvelin-probe.exe"
    # Documents redirected deep, as OneDrive or a roaming profile may: the
    # report's full name 291 characters long, past MAX_PATH (260). (Wine's
    # shell32 reads a redirected folder of up to MAX_PATH characters alone,
    # and falls back to the default past it.)
    local home user deep=Documents window
    home=$(ls -d "$WINEPREFIX"/drive_c/users/*/Documents | grep -v /Public/ | head -n 1)
    user=$(basename "$(dirname "$home")")
    for _ in 1 2 3 4 5; do deep+='\a-folder-redirected-by-the-administrator-deep'; done
    mkdir -p "$WINEPREFIX/drive_c/users/$user/${deep//\\//}"
    wine_run reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
        /v Personal /t REG_EXPAND_SZ /d "C:\\users\\$user\\$deep" /f > /dev/null 2>&1
    on_client "$wine64" start /wait 'C:\korvelin-probe.exe' > /dev/null 2>&1 &
    local clicked=$!
    check "a console window of its own" retry_for 20 window_named 'C:\\korvelin-probe\.exe'
    # An Enter typed while it runs answers no prompt.
    on_display xdotool windowfocus "$window" key Return 2> /dev/null
    # Its five requests, then 500 ms of listening: by a second later it
    # would have ended, unless it waits.
    retry_for 10 five_requests
    sleep 1
    mkdir -p "$artifacts" && on_display import -window root "$artifacts/console.png"
    check "still open after its report, waiting, an Enter typed during the run dropped" kill -0 "$clicked"
    saved() { saved=$(find -L "$home" -name 'korvelin-report-*.txt'); [ -n "$saved" ]; }
    # Delete and Ctrl+Left once came as two characters, the second an 'S'
    # or an 's'.
    on_display xdotool windowfocus "$window" key Delete ctrl+Left 2> /dev/null
    check "Delete and Ctrl+Left save nothing" eval 'sleep 1; ! saved'
    on_display xdotool windowfocus "$window" key s 2> /dev/null
    check "S saves the report" retry_for 5 saved
    in_deep_documents() { [ "$(wc -l <<< "$saved")" = 1 ] && [[ $saved = *"/${deep//\\//}/korvelin-report-"* ]]; }
    check "one file, where Documents leads, 291 characters from C:\\" in_deep_documents
    named_by_time() { [[ $saved =~ /korvelin-report-20[0-9]{2}-[01][0-9]-[0-3][0-9]-[0-9]{6}\.txt$ ]]; }
    check "named by the date and time" named_by_time
    check "and waits again" eval 'sleep 0.5; kill -0 "$clicked"'
    on_display import -window root "$artifacts/saved.png"
    on_display xdotool windowfocus "$window" key Return 2> /dev/null
    retry_for 5 gone "$clicked"
    check "Enter closes it" gone "$clicked"
    gone "$clicked" || kill -KILL "$clicked"
    wait "$clicked"
    check "with exit status 1" test $? = 1

    run_probe
    # The saved report is the one a piped run prints, byte for byte, CRLF
    # line ends included, but for the times it measured.
    same_report() { cmp <(sed 's/after [0-9]* ms/after N ms/' "$saved") <(sed 's/after [0-9]* ms/after N ms/' "$work/raw"); }
    check "the saved report holds what a piped run prints, byte for byte" same_report
    check "with CRLF line ends, as Notepad reads them" test "$(grep -c $'\r$' "$saved")" = "$(wc -l < "$saved")"
    cp "$saved" "$artifacts/" 2> /dev/null
    check "with its output piped, it does not wait" test "$status" = 1
    check "nor asks for a key" test -z "$(grep 'Press ' "$work/report")"
}

case_planted-dlls() {
    [ "$platform" = wine ] || { echo "SKIP: a DLL beside the exe is Windows' matter"; exit 77; }
    local folder=$work/Downloads
    check "the folder planted" plant_dlls "$probe" "$folder"
    start_responder --send "$valid_reply"
    probe=$folder/${probe##*/} WINEDEBUG=-all,+loaddll WINEDLLOVERRIDES=$(planted_first) run_probe
    check "exit status 0: the usual report" test "$status" = 0
    check "the conclusion names http://$server_address" reported "korvelin-detect would open http://$server_address"
    check "no DLL from its folder" nothing_planted_loaded "$work/errors" Downloads "${probe##*/}"
}

run_case "$case_name"
[ "$failures" = 0 ]

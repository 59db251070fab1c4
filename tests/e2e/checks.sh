# Sourced by the end-to-end cases, the demo and the bench after
# private_net.sh: the responder on the server host, what it saw, and the
# checks on what the launcher did. Expects $work (a scratch directory) and
# $responder.

start_responder() {  # start_responder [--send TEXT | --send-size N]...
    # Started without a shell in between, which would report its end as "Terminated".
    ip netns exec "$net_server" "$responder" "$work/requests" "$@" > "$work/responder.out" 2>&1 &
    # It creates its log once it is bound: from then on nothing sent is lost.
    wait_for_file "$work/requests" 10 || { echo "the responder did not start:"; cat "$work/responder.out"; }
}

requests() { grep -c ' 55 request$' "$work/requests"; }
other_datagrams() { grep -vc ' request$' "$work/requests"; }

# Every gap between two requests is one wait of 500 ms, give or take.
requests_paced() {
    awk '$3 == "request" { if (n++ && ($1 - last < 400 || $1 - last > 900)) bad = 1; last = $1 }
         END { exit bad }' "$work/requests"
}

logged() { [ "$(cat "$tools_log/$1" 2>/dev/null)" = "$2" ]; }
not_run() { [ ! -e "$tools_log/$1" ]; }

failures=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# The version the project declares, which every artifact must carry.
project_version() {  # project_version SOURCE-DIR
    sed -n 's/^project(korvelin-detect VERSION \([0-9.]*\).*/\1/p' "$1/CMakeLists.txt"
}

finish() {  # finish EXIT-STATUS: the verdict of the case
    check "exit status 0" test "$1" = 0
    [ "$failures" = 0 ]
}

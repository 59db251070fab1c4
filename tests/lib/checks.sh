# Sourced by the end-to-end cases, the demo, the bench and the package
# checks: the responder on the server host and what it saw (after
# private_net.sh; these expect $work, a scratch directory, and $responder),
# waits, and the check that counts failures.

# Waits up to $2 seconds for file $1 to appear (with $3 = nonempty: to fill).
wait_for_file() {
    local tries=$(( $2 * 10 )) test=-e
    [ "${3:-}" = nonempty ] && test=-s
    while [ ! $test "$1" ] && [ "$tries" -gt 0 ]; do sleep 0.1; tries=$((tries - 1)); done
    [ $test "$1" ]
}

now_ms() { date +%s%3N; }

# Runs COMMAND every 0.2 s until it succeeds, for at most $1 seconds.
retry_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# On the server host and logging to $work/requests, unless --on names
# another host and log.
start_responder() {  # start_responder [--on HOST LOG] [--send TEXT | --send-size N]...
    local host=$net_server log=$work/requests
    [ "${1:-}" = --on ] && { host=$2 log=$3; shift 3; }
    # A log left by an earlier responder would seem to say this one is bound.
    rm -f "$log"
    # Started without a shell in between, which would report its end as "Terminated".
    ip netns exec "$host" "$responder" "$log" "$@" > "$log.out" 2>&1 &
    # It creates its log once it is bound: from then on nothing sent is lost.
    wait_for_file "$log" 10 || { echo "the responder did not start:"; cat "$log.out"; }
}

requests() { awk '$3 == "request" { n++ } END { print n + 0 }' "$work/requests"; }
other_datagrams() { awk '$3 != "request" { n++ } END { print n + 0 }' "$work/requests"; }
# The requests in a log by the address they were sent to: "5x255.255.255.255".
requests_seen() {
    awk '$3 == "request" { n[$4]++ } END { for (to in n) { printf "%s%dx%s", sep, n[to], to; sep = " " } }' \
        "${1:-$work/requests}"
}
# What the first segment's and the second's servers got ($work/requests-b):
# requests_on_both "5x255.255.255.255 | 5x10.201.0.255"
requests_on_both() { test "$(requests_seen) | $(requests_seen "$work/requests-b")" = "$1"; }

# Every gap between two requests is one wait of 500 ms, give or take.
requests_paced() {  # [LOG]
    awk '$3 == "request" { if (n++ && ($1 - last < 400 || $1 - last > 900)) bad = 1; last = $1 }
         END { exit bad }' "${1:-$work/requests}"
}

failures=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# The version the project declares, which every artifact must carry.
project_version() {  # project_version SOURCE-DIR
    sed -n 's/^project(korvelin-detect VERSION \([0-9.]*\).*/\1/p' "$1/CMakeLists.txt"
}

finish() {  # finish EXIT-STATUS: the verdict of the case, whose program exited so
    [ -n "${1:-}" ] || { echo "FAILED: the program never ran: no exit status"; return 1; }
    check "exit status 0" test "$1" = 0
    [ "$failures" = 0 ]
}

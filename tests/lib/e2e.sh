# Sourced first by each end-to-end script, with the script's arguments in
# place: the shared helpers; the script re-run inside a private network
# namespace; a scratch directory ($work), the two-host network and the
# desktop stand-ins, all gone at exit (Wine too, where the script started
# it). The script defines case_NAME functions and ends with run_case NAME.
e2e_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$e2e_lib/private_net.sh"
. "$e2e_lib/checks.sh"
. "$e2e_lib/desktop.sh"
private_net_enter "$@"

work=$(mktemp -d)
trap 'declare -F wine_down > /dev/null && wine_down; private_net_stop; rm -rf "$work"' EXIT
private_net_up
make_desktop_stand_ins "$work"

run_case() {  # run_case NAME: that case; a name no case has is a failure
    declare -F "case_$1" > /dev/null || { echo "unknown case $1" >&2; exit 2; }
    "case_$1"
}

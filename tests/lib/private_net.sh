# Sourced by the end-to-end tests, the demo and the bench: a private network
# that exists only inside a network namespace this run creates, so nothing
# sent here can reach the machine's real network. The network alone: the
# hosts' desktop tools are in desktop.sh, the checks in checks.sh.
#   client 10.200.0.1/24 (namespace $net_client, default route over the veth)
#   server 10.200.0.2/24 (namespace $net_server)
# private_net_second_segment adds a second segment and a third host:
#   client 10.201.0.1/24, server B 10.201.0.2/24 (namespace $net_server_b)
#   client tun device 10.202.0.1/24, up, point-to-point (a VPN's stand-in)
# private_net_routed puts server C behind a router, where the client's
# default route now leads:
#   client 10.204.0.1/24, router 10.204.0.254/24 and 10.205.0.254/24
#   (namespace $net_router, forwarding), server C 10.205.0.2/24 ($net_server_c)

net_client=kd-client
net_server=kd-server
net_server_b=kd-server-b
net_router=kd-router
net_server_c=kd-server-c
server_address=10.200.0.2
server_b_address=10.201.0.2
server_c_address=10.205.0.2

# Re-runs the calling script inside a fresh network and mount namespace,
# or exits 77 (skipped) when that cannot be had. Never falls back to the
# machine's own network.
private_net_enter() {
    [ -n "${KORVELIN_PRIVATE_NET:-}" ] && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "SKIP: needs root for network namespaces"; exit 77
    fi
    if ! unshare --net --mount true 2>/dev/null; then
        echo "SKIP: network namespaces are not available here"; exit 77
    fi
    KORVELIN_PRIVATE_NET=1 exec unshare --net --mount --propagation private bash "$0" "$@"
}

# Builds the two hosts. Must run inside private_net_enter.
private_net_up() {
    [ -n "${KORVELIN_PRIVATE_NET:-}" ] || { echo "private_net_up outside a private namespace" >&2; exit 1; }
    mkdir -p /run/netns
    mount -t tmpfs none /run/netns
    ip link set lo up
    ip netns add "$net_client"
    ip netns add "$net_server"
    ip link add kd-vc type veth peer name kd-vs
    ip link set kd-vc netns "$net_client"
    ip link set kd-vs netns "$net_server"
    ip -n "$net_client" addr add 10.200.0.1/24 dev kd-vc
    ip -n "$net_server" addr add "$server_address"/24 dev kd-vs
    local ns
    for ns in "$net_client" "$net_server"; do
        ip -n "$ns" link set lo up
    done
    ip -n "$net_client" link set kd-vc up
    ip -n "$net_server" link set kd-vs up
    ip -n "$net_client" route add default dev kd-vc
}

# The client as a PC with several adapters: a second link, to server B,
# that the default route does not take, and a VPN-like tun device.
private_net_second_segment() {
    ip netns add "$net_server_b"
    ip link add kd-vc-b type veth peer name kd-vs-b
    ip link set kd-vc-b netns "$net_client"
    ip link set kd-vs-b netns "$net_server_b"
    ip -n "$net_client" addr add 10.201.0.1/24 dev kd-vc-b
    ip -n "$net_server_b" addr add "$server_b_address"/24 dev kd-vs-b
    ip -n "$net_server_b" link set lo up
    ip -n "$net_server_b" link set kd-vs-b up
    ip -n "$net_client" link set kd-vc-b up
    ip -n "$net_client" tuntap add dev kd-tun mode tun
    ip -n "$net_client" addr add 10.202.0.1/24 dev kd-tun
    ip -n "$net_client" link set kd-tun up
}

# A server the broadcast cannot reach: routers do not forward it.
private_net_routed() {
    ip netns add "$net_router"
    ip netns add "$net_server_c"
    ip link add kd-vc-r type veth peer name kd-vr-c
    ip link add kd-vr-s type veth peer name kd-vs-c
    ip link set kd-vc-r netns "$net_client"
    ip link set kd-vr-c netns "$net_router"
    ip link set kd-vr-s netns "$net_router"
    ip link set kd-vs-c netns "$net_server_c"
    ip -n "$net_client" addr add 10.204.0.1/24 dev kd-vc-r
    ip -n "$net_router" addr add 10.204.0.254/24 dev kd-vr-c
    ip -n "$net_router" addr add 10.205.0.254/24 dev kd-vr-s
    ip -n "$net_server_c" addr add "$server_c_address"/24 dev kd-vs-c
    local ns link
    for ns in "$net_router" "$net_server_c"; do ip -n "$ns" link set lo up; done
    for link in "$net_client kd-vc-r" "$net_router kd-vr-c" "$net_router kd-vr-s" "$net_server_c kd-vs-c"; do
        ip -n "${link% *}" link set "${link#* }" up
    done
    ip netns exec "$net_router" sysctl -qw net.ipv4.ip_forward=1
    ip -n "$net_client" route replace default via 10.204.0.254
    ip -n "$net_server_c" route add default via 10.205.0.254
}

# Ends whatever still runs on the hosts (responders, lingering stand-ins),
# or on the ones named; a host this run never made is no failure.
private_net_stop() {
    local ns
    [ $# -gt 0 ] || set -- "$net_client" "$net_server" "$net_server_b" "$net_router" "$net_server_c"
    for ns in "$@"; do
        ip netns pids "$ns" 2> /dev/null | xargs -r kill 2> /dev/null || true
    done
}

on_client() { ip netns exec "$net_client" "$@"; }
on_server() { ip netns exec "$net_server" "$@"; }

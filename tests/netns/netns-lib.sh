#!/usr/bin/env bash
# Helpers for tests that need several hosts: a bridge in a namespace of its own and one
# namespace per host, joined by veth pairs, addressed in 10.213.0.0/24. Everything is torn down
# when the script exits, whatever way it exits. Source it, then call nsl_init.

NSL_SKIP=77
nsl_namespaces=()
nsl_pids=()

nsl_skip() {
    echo "SKIP: $*"
    exit "$NSL_SKIP"
}

nsl_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Skips unless root with ip(8); sets a prefix unique to this run and the teardown trap.
nsl_init() {
    [[ $(id -u) -eq 0 ]] || nsl_skip "needs root to build network namespaces"
    command -v ip >/dev/null || nsl_skip "needs ip (Debian iproute2)"
    nsl_prefix="kt$$-${RANDOM}"
    nsl_bridge="${nsl_prefix}-br"
    nsl_work=$(mktemp -d /tmp/kestrola-netns.XXXXXX)
    trap nsl_teardown EXIT
    trap 'exit 130' INT TERM
    ip netns add "$nsl_bridge" || nsl_fail "cannot add namespace $nsl_bridge"
    nsl_namespaces+=("$nsl_bridge")
    ip -n "$nsl_bridge" link add br0 type bridge
    ip -n "$nsl_bridge" link set br0 up
    ip -n "$nsl_bridge" link set lo up
}

nsl_teardown() {
    local pid ns
    for pid in "${nsl_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${nsl_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    for ns in "${nsl_namespaces[@]}"; do
        ip netns del "$ns" 2>/dev/null || true
    done
    [[ -n "${KEEP_NETNS_WORK:-}" ]] || rm -rf "$nsl_work"
}

# nsl_host LABEL NUMBER: a host namespace named "$nsl_prefix-LABEL" with eth0 at 10.213.0.NUMBER.
nsl_host() {
    local label=$1 number=$2 ns="${nsl_prefix}-$1"
    ip netns add "$ns" || nsl_fail "cannot add namespace $ns"
    nsl_namespaces+=("$ns")
    ip -n "$nsl_bridge" link add "p$number" type veth peer name eth0 netns "$ns"
    ip -n "$nsl_bridge" link set "p$number" master br0 up
    ip -n "$ns" addr add "10.213.0.$number/24" brd 10.213.0.255 dev eth0
    ip -n "$ns" link set eth0 up
    ip -n "$ns" link set lo up
    printf -v "ns_$label" '%s' "$ns"
}

# nsl_in LABEL COMMAND...: runs a command inside host LABEL.
nsl_in() {
    local var="ns_$1"
    shift
    ip netns exec "${!var}" "$@"
}

# nsl_background LABEL OUTFILE COMMAND...: starts a command in host LABEL, output to OUTFILE
# (standard error to OUTFILE.err); the pid goes to nsl_last_pid.
nsl_background() {
    local var="ns_$1" out=$2
    shift 2
    ip netns exec "${!var}" "$@" >"$out" 2>"$out.err" &
    nsl_last_pid=$!
    nsl_pids+=("$nsl_last_pid")
}

# nsl_wait_for FILE PATTERN [SECONDS]: waits until FILE has a line matching PATTERN.
nsl_wait_for() {
    local file=$1 pattern=$2 limit=${3:-10} i
    for ((i = 0; i < limit * 20; i++)); do
        grep -q -- "$pattern" "$file" 2>/dev/null && return 0
        sleep 0.05
    done
    echo "timed out waiting for '$pattern' in $file:" >&2
    cat "$file" >&2 2>/dev/null || true
    return 1
}

# Shared by the end-to-end scripts: the move into a private network
# namespace, a scratch folder, simulators that are stopped on exit, and the
# check helpers. Expects $sim (the tavrix-sim program) to be set.

# A script that sets namespace_seconds runs itself again inside a private
# user and network namespace, with its arguments and --inside behind them,
# ended after that many seconds; where there are no namespaces it is skipped
# (exit 77). Inside, the loopback is up, and with namespace_broadcast=1
# broadcasts to 255.255.255.255 go round it. Steps a script takes only
# outside (checks for tools) come before it sources this file.
if [ -n "${namespace_seconds:-}" ]; then
    PATH=$PATH:/usr/sbin:/sbin
    if [ "${!#}" != "--inside" ]; then
        unshare -rn true 2>/dev/null || { echo "SKIP: no user and network namespace (unshare -rn)"; exit 77; }
        exec timeout -k 5 "$namespace_seconds" unshare -rn "$0" "$@" --inside
    fi
    ip link set lo up
    if [ "${namespace_broadcast:-0}" = 1 ]; then
        ip route add broadcast 255.255.255.255 dev lo table local
    fi
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# wait_for FILE PATTERN: until a line of FILE matches PATTERN; false when
# none does within five seconds.
wait_for() {
    for _ in $(seq 50); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# start ADDRESS OPTIONS...: a simulator, waiting until it listens.
start() {
    local address=$1
    shift
    "$sim" --address "$address" --exit-with-parent "$@" 2>"$work/$address.log" &
    pids+=($!)
    wait_for "$work/$address.log" listening && return 0
    cat "$work/$address.log"
    echo "FAIL: simulator on $address did not start"
    exit 1
}

# expect STATUS PATTERN COMMAND...: exit status and a line of the combined output.
expect() {
    local status=$1 pattern=$2
    shift 2
    local out rc
    out=$("$@" 2>&1)
    rc=$?
    [ "$rc" -eq "$status" ] || fail "$* exited $rc, expected $status: $out"
    printf '%s\n' "$out" | grep -Eq -- "$pattern" || fail "$* printed no line matching '$pattern': $out"
}


# tvx with a probe time that a machine busy with parallel test builds still
# meets; the scripts call "$tvx" through this wrapper. Expects $tvx set.
if [ -n "${tvx:-}" ]; then
    printf '#!/bin/sh\nexec "%s" --probe-ms 1000 "$@"\n' "$tvx" >"$work/tvx"
    chmod +x "$work/tvx"
    tvx=$work/tvx
fi

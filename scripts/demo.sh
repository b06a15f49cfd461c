#!/bin/sh
# Starts simulated controllers on loopback addresses and shows tvx finding
# and querying them over real UDP, then stops them. Runs inside a private
# network namespace (unshare -rn) where port 502 needs no privileges and the
# discovery broadcast cannot leave the machine; as root without namespaces
# it falls back to plain loopback and skips the broadcast search.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_BUILD_DIR:-$here/build}
sim=$build/sim/tavrix-sim
tvx=$build/bin/tvx
PATH=$PATH:/usr/sbin:/sbin
export PATH

if [ ! -x "$sim" ] || [ ! -x "$tvx" ]; then
    echo "demo: $sim or $tvx is missing; run 'make build' first" >&2
    exit 1
fi

mode=${1:-}
if [ "$mode" = "" ]; then
    if unshare -rn true 2>/dev/null; then
        exec unshare -rn "$here/scripts/demo.sh" --namespace
    fi
    if [ "$(id -u)" -eq 0 ]; then
        echo "demo: no network namespace available; using the host's loopback (no broadcast search)"
        exec "$here/scripts/demo.sh" --host
    fi
    echo "demo: needs 'unshare -rn' (user namespaces) or root to use UDP port 502" >&2
    exit 1
fi

logs=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    for pid in $pids; do wait "$pid" 2>/dev/null || true; done
    pids=""
    rm -rf "$logs"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ "$mode" = "--namespace" ]; then
    ip link set lo up
    # Broadcasts to 255.255.255.255 go to lo and stay in this namespace.
    ip route add broadcast 255.255.255.255 dev lo table local
fi

# start_sim ADDRESS OPTIONS...: starts a simulator and waits until it listens.
start_sim() {
    address=$1
    shift
    "$sim" --address "$address" --exit-with-parent "$@" 2>"$logs/$address.log" &
    pids="$pids $!"
    i=0
    until grep -q listening "$logs/$address.log" 2>/dev/null; do
        i=$((i + 1))
        if [ $i -gt 50 ] || ! kill -0 "$!" 2>/dev/null; then
            cat "$logs/$address.log" >&2
            echo "demo: the simulator on $address did not start" >&2
            exit 1
        fi
        sleep 0.1
    done
    sed 's/^/  /' "$logs/$address.log"
}

show() {
    echo
    echo "\$ tvx $*"
    "$tvx" "$@"
}

echo "== Starting simulated controllers (tavrix-sim)"
start_sim 127.0.0.21 --set axes=8 --set inputs=0,2,5,9 --set version-text="DEMO 4.1.2"
start_sim 127.0.0.22 --set axes=4 --set state=1
start_sim 127.0.0.23 --drop-replies 30% --duplicate 10% --seed 7

echo
echo "== Finding controllers"
if [ "$mode" = "--namespace" ]; then
    show search --time 300
else
    echo "(skipped: a broadcast would leave this machine)"
fi

echo
echo "== Asking one controller about itself"
show info 127.0.0.21

echo
echo "== Digital and analog I/O"
show io 127.0.0.21 in 0-15
show io 127.0.0.21 set 3 1 4 1
show io 127.0.0.21 get 0 7
show io 127.0.0.21 ain 2

echo
echo "== Text commands to the controller's interpreter"
show exec 127.0.0.21 'VR(10)=6*7: ?VR(10), 1/4'
show exec 127.0.0.21 '?SQR(2)*ABS(-3), VR(10)>40 AND VR(10)<50'
# The controller answers with an error line; tvx exits 1 for it.
show exec 127.0.0.21 'FOO 1' || echo "(tvx exited $?)"

echo
echo "== Files: a program downloaded in blocks, listed and read back"
printf 'PRINT "hello from the demo"\n' >"$logs/HELLO.BAS"
show put 127.0.0.21 "$logs/HELLO.BAS"
show ls 127.0.0.21
show get 127.0.0.21 HELLO.BAS "$logs/back.bas"
cmp "$logs/HELLO.BAS" "$logs/back.bas" && echo "(identical)"

echo
echo "== A lossy controller: 127.0.0.23 drops 30% of its replies; the library resends"
show io 127.0.0.23 get 0 31
show io 127.0.0.23 set 7 1
show io 127.0.0.23 out 7

echo
echo "== Errors are one line with the code's description, and a non-zero exit status"
show info 127.0.0.29 || echo "(exit status $?)"
show io 127.0.0.21 in 70000 || echo "(exit status $?)"
show --timeout 300 io 127.0.0.21 ain 99 || echo "(exit status $?)"

echo
echo "== Stopping the simulators"
for pid in $pids; do kill "$pid"; done
for pid in $pids; do wait "$pid" || true; done
pids=""
grep -h stopped "$logs"/*.log | sed 's/^/  /'
echo
"$here/scripts/demo-gateway.sh"
echo "Try it yourself: '$sim --help' and '$tvx --help'."

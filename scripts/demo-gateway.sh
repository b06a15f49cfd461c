#!/bin/sh
# The gateway scene of the demo: a mosquitto broker, two simulated
# controllers and tavrix-gateway publishing them; mosquitto_sub shows the
# values, one allowed write and one refused. Runs in a private network
# namespace of its own (unshare -rn), so nothing listens outside it.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_BUILD_DIR:-$here/build}
sim=$build/sim/tavrix-sim
gateway=$build/bin/tavrix-gateway
PATH=$PATH:/usr/sbin:/sbin
export PATH

if [ "${1:-}" != "--inside" ]; then
    echo
    echo "== tavrix-gateway: two controllers on an MQTT broker"
fi
if [ ! -x "$sim" ] || [ ! -x "$gateway" ]; then
    echo "  (skipped: $gateway is not built; run 'make build')"
    exit 0
fi
if ! command -v mosquitto >/dev/null || ! command -v mosquitto_sub >/dev/null; then
    echo "  (skipped: mosquitto and mosquitto-clients are not installed; run 'make deps')"
    exit 0
fi
if [ "${1:-}" != "--inside" ]; then
    if ! unshare -rn true 2>/dev/null; then
        echo "  (skipped: needs a private network namespace, unshare -rn)"
        exit 0
    fi
    exec unshare -rn "$0" --inside
fi
ip link set lo up

work=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    for pid in $pids; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
# A signal (or a closed pipe, as with '| head') still stops what was started.
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 141' PIPE

printf 'listener 1883 127.0.0.1\nallow_anonymous true\npersistence false\nuser root\n' >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/mosquitto.log" 2>&1 &
pids="$pids $!"
for address in 127.0.0.21 127.0.0.22; do
    "$sim" --address "$address" --exit-with-parent 2>"$work/$address.log" &
    pids="$pids $!"
done
i=0
until mosquitto_pub -h 127.0.0.1 -t demo -n 2>/dev/null && grep -q listening "$work/127.0.0.22.log"; do
    i=$((i + 1))
    [ $i -le 50 ] || { echo "demo: the broker or a simulator did not start" >&2; exit 1; }
    sleep 0.1
done

cat >"$work/gateway.toml" <<'TOML'
[broker]
url = "mqtt://127.0.0.1:1883"
client_id = "gw-1"

[[controller]]
name = "press1"
address = "127.0.0.21"
watch = "VR(0,2) TICKS"
cycle_ms = 500
writable = ["VR(0)"]

[[controller]]
name = "press2"
address = "127.0.0.22"
watch = "TICKS"
cycle_ms = 500
TOML
echo "  $(grep -c '^\[\[controller\]\]' "$work/gateway.toml") controllers in gateway.toml; press1 may write VR(0) only"
"$gateway" --config "$work/gateway.toml" 2>"$work/gateway.log" &
gateway_pid=$!
pids="$pids $gateway_pid"

echo
echo "\$ mosquitto_sub -t 'tavrix/+/status' -t 'tavrix/+/values' -v"
mosquitto_sub -h 127.0.0.1 -t 'tavrix/+/status' -t 'tavrix/+/values' -v -C 6 -W 10 | sed 's/^/  /' || true

sub() {
    mosquitto_sub -h 127.0.0.1 -t tavrix/press1/result -C 1 -W 5 >"$work/result" &
    sub_pid=$!
    sleep 0.3
    echo
    echo "\$ mosquitto_pub -t '$1' -m $2"
    mosquitto_pub -h 127.0.0.1 -t "$1" -m "$2"
    wait $sub_pid || true
    echo "  tavrix/press1/result $(cat "$work/result")"
}
sub 'tavrix/press1/set/VR(0)' 2.5
sub 'tavrix/press1/set/VR(1)' 9

echo
echo "\$ mosquitto_sub -t tavrix/press1/values -C 1"
mosquitto_sub -h 127.0.0.1 -t tavrix/press1/values -v -C 1 -W 5 | sed 's/^/  /' || true

kill -TERM "$gateway_pid"
wait "$gateway_pid" || true
pids=$(echo "$pids" | sed "s/ $gateway_pid//")
echo
echo "\$ kill -TERM tavrix-gateway; mosquitto_sub -t 'tavrix/+/status' (retained)"
mosquitto_sub -h 127.0.0.1 -t 'tavrix/+/status' -v -C 2 -W 5 | sed 's/^/  /' || true

#!/bin/bash
# Gateway benchmark: CONTROLLERS simulated controllers (default 64), each
# pushing 16 items every CYCLE_MS (default 10), through one tavrix-gateway
# and one mosquitto broker to one subscriber, in a private network
# namespace. Reports the messages per second delivered, blocks missing,
# the latency from the gateway's time stamp to the subscriber (p50, p99),
# the gateway's CPU and resident memory, and how long the gateway takes to
# be back on a restarted broker.
# Usage: bench/gateway/gateway_bench.sh [BUILD_DIR]    (WINDOW_S, default 10)
set -u
build=$(cd "${1:-$(dirname "$0")/../../build}" && pwd)
controllers=${CONTROLLERS:-64}
cycle=${CYCLE_MS:-10}
window=${WINDOW_S:-10}
PATH=$PATH:/usr/sbin:/sbin

if [ "${2:-}" != "--inside" ]; then
    unshare -rn true 2>/dev/null || { echo "gateway bench: needs unshare -rn" >&2; exit 1; }
    exec unshare -rn "$0" "$build" --inside
fi
ip link set lo up
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

items="VR(0) VR(1) VR(2) VR(3) VR(4) VR(5) VR(6) VR(7) VR(8) VR(9) VR(10) VR(11) VR(12) VR(13) VR(14) TICKS"
{
    printf '[broker]\nurl = "mqtt://127.0.0.1:1883"\nclient_id = "gw-bench"\n'
    for i in $(seq "$controllers"); do
        printf '[[controller]]\nname = "c%d"\naddress = "127.0.1.%d"\nwatch = "%s"\ncycle_ms = %d\n' \
            "$i" "$i" "$items" "$cycle"
    done
} >"$work/gateway.toml"

for i in $(seq "$controllers"); do
    "$build/sim/tavrix-sim" --address "127.0.1.$i" --exit-with-parent 2>"$work/sim$i.log" &
    pids+=($!)
done
start_broker() {
    printf 'listener 1883 127.0.0.1\nallow_anonymous true\npersistence false\nuser root\n' >"$work/mosquitto.conf"
    mosquitto -c "$work/mosquitto.conf" >>"$work/mosquitto.log" 2>&1 &
    broker=$!
    pids+=("$broker")
    until mosquitto_pub -h 127.0.0.1 -t probe -n 2>/dev/null; do sleep 0.05; done
}
start_broker
for i in $(seq "$controllers"); do
    until grep -q listening "$work/sim$i.log"; do sleep 0.05; done
done

"$build/bin/tavrix-gateway" --config "$work/gateway.toml" 2>"$work/gateway.log" &
gw=$!
pids+=("$gw")
for _ in $(seq 600); do
    [ "$(grep -c ': online' "$work/gateway.log")" -ge "$controllers" ] && break
    sleep 0.1
done
echo "controllers online: $(grep -c ': online' "$work/gateway.log") of $controllers"

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$gw/stat"; }
hz=$(getconf CLK_TCK)
before=$(cpu_ticks)
"$build/bench/gateway/gateway_bench_subscriber" 127.0.0.1 1883 2 "$window" >"$work/sub.txt"
after=$(cpu_ticks)
# The subscriber's window starts after 2 s of warm-up: count the CPU over
# the whole run of the subscriber.
cpu=$(awk "BEGIN { printf \"%.0f\", 100 * ($after - $before) / $hz / ($window + 2) }")
rss=$(awk '/VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$gw/status")
hwm=$(awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$gw/status")

# Broker restart: from its start until the gateway's retained topics are
# back on it.
kill "$broker"
wait "$broker" 2>/dev/null
sleep 1
t0=$(date +%s.%N)
start_broker
until [ "$(mosquitto_sub -h 127.0.0.1 -t 'tavrix/+/status' -W 1 -v 2>/dev/null | grep -c ' online$')" -ge "$controllers" ]; do
    sleep 0.05
done
t1=$(date +%s.%N)
back=$(awk "BEGIN { printf \"%.2f\", $t1 - $t0 }")

expected=$((controllers * 1000 / cycle))
get() { awk -v k="$1" '$1 == k { print $2 }' "$work/sub.txt"; }
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
printf '%-34s %10s   %s\n' "figure" "measured" "goal"
printf '%-34s %10s   %s\n' "messages/s delivered" "$(get messages_per_s)" "$expected"
printf '%-34s %10s   %s\n' "blocks missing (seq gaps)" "$(get missing_blocks)" "0"
printf '%-34s %10s   %s\n' "latency p50 (ms)" "$(get latency_p50_ms)" "-"
printf '%-34s %10s   %s\n' "latency p99 (ms)" "$(get latency_p99_ms)" "<= 50"
printf '%-34s %10s   %s\n' "latency max (ms)" "$(get latency_max_ms)" "-"
printf '%-34s %10s   %s\n' "gateway CPU (% of one core)" "$cpu" "< 100"
printf '%-34s %10s   %s\n' "gateway resident (MiB, now/peak)" "$rss/$hwm" "< 64"
printf '%-34s %10s   %s\n' "broker restart to all retained (s)" "$back" "<= 5"
echo "dropped while the broker was away: $(mosquitto_sub -h 127.0.0.1 -t tavrix/gateway/gw-bench/metrics -C 1 -W 10 |
    sed -E 's/.*"dropped":([0-9]+).*/\1/')"

#!/bin/bash
# tavrix-gateway end to end: a real mosquitto broker, simulated controllers
# and two gateways in a private network namespace. Values arrive and change;
# an allowed write reaches the controller; writes outside the allowlist,
# exec when it is off, stale and malformed requests are refused and change
# nothing; a controller killed goes offline and comes back; a broker
# restarted gets the retained topics again; SIGTERM leaves every controller
# offline.
# Usage: gateway_e2e.sh TAVRIX_SIM TVX TAVRIX_GATEWAY     Exit 77 (skipped) without namespaces or mosquitto.
set -u
sim=$1
tvx=$2
gateway=$3
if [ "${4:-}" != "--inside" ]; then
    for tool in mosquitto mosquitto_sub mosquitto_pub; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
fi
namespace_seconds=200
namespace_broadcast=1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../e2e/e2e_lib.sh
. "$here/../e2e/e2e_lib.sh"

broker_pid=
start_broker() {
    cat >"$work/mosquitto.conf" <<CONF
listener 1883 127.0.0.1
allow_anonymous true
persistence false
user root
CONF
    mosquitto -c "$work/mosquitto.conf" >>"$work/mosquitto.log" 2>&1 &
    broker_pid=$!
    pids+=("$broker_pid")
    for _ in $(seq 50); do
        mosquitto_pub -h 127.0.0.1 -t probe -n 2>/dev/null && return 0
        sleep 0.1
    done
    cat "$work/mosquitto.log"
    echo "FAIL: mosquitto did not start"
    exit 1
}

# A subscriber logging every message as "SECONDS.NANOS TOPIC PAYLOAD".
log_pid=
start_log() {
    mosquitto_sub -h 127.0.0.1 -t 'tavrix/#' -F '%U %t %p' >>"$work/all.log" 2>/dev/null &
    log_pid=$!
    pids+=("$log_pid")
    sleep 0.3
}

# wait_line FROM SECONDS PATTERN: a line after line FROM of the log matches
# the extended regular expression within SECONDS; prints the line.
wait_line() {
    local from=$1 seconds=$2 pattern=$3 line
    for _ in $(seq $((seconds * 20))); do
        line=$(tail -n +"$((from + 1))" "$work/all.log" | grep -E -m1 -- "$pattern") && { printf '%s\n' "$line"; return 0; }
        sleep 0.05
    done
    return 1
}
lines() { wc -l <"$work/all.log"; }
now() { date +%s.%N; }

# result_for FROM TOPIC_TEXT: the code of the reply to the request on TOPIC_TEXT.
result_for() {
    wait_line "$1" 10 " tavrix/$2/result .*\"topic\":\"tavrix/$3\"" | sed -E 's/.*"code":(-?[0-9]+).*/\1/'
}

read_var() { "$tvx" var "$1" "$2" 2>&1 | sed -E 's/.* = //'; }

start 127.0.0.21
sim21=${pids[-1]}
start 127.0.0.22
start_broker
start_log

cat >"$work/gw1.toml" <<TOML
[broker]
url = "mqtt://127.0.0.1:1883"
client_id = "gw-1"
[gateway]
metrics_interval_ms = 500
[[controller]]
name = "press1"
address = "127.0.0.21"
watch = "VR(0,2) TICKS"
cycle_ms = 50
timeout_ms = 1000
writable = ["VR(5)"]
exec = false
  [[controller.poll]]
  items = "VR(5)"
  period_ms = 200
TOML
cat >"$work/gw2.toml" <<TOML
[broker]
url = "mqtt://127.0.0.1:1883"
client_id = "gw-2"
[[controller]]
name = "saw"
address = "127.0.0.22"
watch = "TICKS"
cycle_ms = 50
writable = ["VR(9)"]
exec = true
TOML

echo "== a malformed configuration: one line naming the key and line, exit status 2"
printf '[broker]\nurl = "mqtt://127.0.0.1"\nclient_id = "x"\n[[controller]]\nname = "a"\naddress = "127.0.0.21"\ncycle_ms = -5\n' \
    >"$work/bad.toml"
out=$("$gateway" --config "$work/bad.toml" 2>&1)
rc=$?
[ "$rc" -eq 2 ] || fail "a bad file exited $rc, expected 2"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "a bad file printed more than one line: $out"
printf '%s\n' "$out" | grep -q "bad.toml:7: controller\[1\].cycle_ms" || fail "the line names no key and line: $out"
expect 0 "press1 at 127.0.0.21" "$gateway" --check --config "$work/gw1.toml"
# The manual page is made from the same declarations as --help: every
# option of one is in the other.
man=$("$gateway" --man)
for option in $("$gateway" --help | grep -oE -- '--[a-z]+' | sort -u); do
    printf '%s\n' "$man" | grep -qF -- "$(printf '%s' "$option" | sed 's/-/\\-/g')" ||
        fail "the manual page lacks $option"
done

echo "== two gateways on one broker"
from=$(lines)
"$gateway" --config "$work/gw1.toml" --metrics 127.0.0.1:9108 2>"$work/gw1.log" &
gw1=$!
pids+=("$gw1")
"$gateway" --config "$work/gw2.toml" 2>"$work/gw2.log" &
gw2=$!
pids+=("$gw2")
wait_line "$from" 15 " tavrix/press1/status online" >/dev/null || fail "press1 did not come online"
wait_line "$from" 15 " tavrix/saw/status online" >/dev/null || fail "saw (second gateway) did not come online"
wait_line "$from" 15 " tavrix/press1/info .*\"ipAddress\":\"127.0.0.21\"" >/dev/null || fail "no info for press1"
wait_line "$from" 15 " tavrix/gateway/gw-2/metrics " >/dev/null || fail "no metrics from the second gateway"

echo "== values arrive and change"
wait_line "$from" 10 " tavrix/saw/values " >/dev/null || fail "no values from saw"
sleep 1
ticks=$(tail -n +"$from" "$work/all.log" | grep " tavrix/press1/values " | tail -n 20 |
    sed -E 's/.*"TICKS":([0-9]+).*/\1/' | sort -un | wc -l)
[ "$ticks" -ge 5 ] || fail "press1's TICKS took $ticks distinct values in its last 20 messages"
tail -n +"$from" "$work/all.log" | grep -m1 " tavrix/press1/values " |
    grep -Eq '\{"t":[0-9]{13},"seq":[0-9]+,"values":\{"VR\(0\)":[-0-9.e]+,"VR\(1\)":[-0-9.e]+,"TICKS":[0-9]+\}\}' ||
    fail "values are not in the published form: $(grep -m1 ' tavrix/press1/values ' "$work/all.log")"

echo "== an allowed write reaches the controller"
from=$(lines)
mosquitto_pub -h 127.0.0.1 -t 'tavrix/press1/set/VR(5)' -m 7.25
[ "$(result_for "$from" press1 'press1/set/VR\(5\)')" = 0 ] || fail "the write of VR(5) got no success reply"
[ "$(read_var 127.0.0.21 'VR(5)')" = 7.25 ] || fail "VR(5) reads $(read_var 127.0.0.21 'VR(5)') after the write"
wait_line "$from" 5 ' tavrix/press1/polled .*"VR\(5\)":7.25' >/dev/null || fail "the polled VR(5) does not show 7.25"
mosquitto_pub -h 127.0.0.1 -t 'tavrix/saw/exec' -m 'VR(9)=4'
[ "$(result_for "$from" saw 'saw/exec')" = 0 ] || fail "exec on saw (exec = true) failed"
[ "$(read_var 127.0.0.22 'VR(9)')" = 4 ] || fail "exec on saw did not set VR(9)"

echo "== refusals: nothing reaches the controller"
from=$(lines)
mosquitto_pub -h 127.0.0.1 -t 'tavrix/press1/set/VR(6)' -m 3
[ "$(result_for "$from" press1 'press1/set/VR\(6\)')" = 30001 ] || fail "a write outside the allowlist was not refused"
mosquitto_pub -h 127.0.0.1 -t 'tavrix/press1/exec' -m 'VR(7)=3'
[ "$(result_for "$from" press1 'press1/exec')" = 30002 ] || fail "exec with exec = false was not refused"
[ "$(read_var 127.0.0.21 'VR(6)')" = 0 ] || fail "the refused write changed VR(6)"
[ "$(read_var 127.0.0.21 'VR(7)')" = 0 ] || fail "the refused exec changed VR(7)"
from=$(lines)
mosquitto_pub -h 127.0.0.1 -t 'tavrix/press1/set/VR(5)' -m 'twelve'
line=$(wait_line "$from" 10 " tavrix/press1/result ") || fail "no reply to a malformed payload"
printf '%s\n' "$line" | grep -q '"code":30003,"text":"Refused: the payload is not a number."' ||
    fail "a malformed payload got: $line"
from=$(lines)
stale=$(( $(date +%s%3N) - 10000 ))
mosquitto_pub -h 127.0.0.1 -t 'tavrix/press1/set/VR(5)' -m "{\"value\": 99, \"t\": $stale}"
[ "$(result_for "$from" press1 'press1/set/VR\(5\)')" = 30004 ] || fail "a request sent 10 s ago was carried out"
from=$(lines)
mosquitto_pub -h 127.0.0.1 -r -t 'tavrix/press1/set/VR(5)' -m 98
[ "$(result_for "$from" press1 'press1/set/VR\(5\)')" = 0 ] || fail "a retained write was not carried out once"
mosquitto_pub -h 127.0.0.1 -r -t 'tavrix/press1/set/VR(5)' -n   # clears the retained request
[ "$(read_var 127.0.0.21 'VR(5)')" = 98 ] || fail "VR(5) reads $(read_var 127.0.0.21 'VR(5)') after 98"
metrics=$(python3 -c 'import urllib.request; print(urllib.request.urlopen("http://127.0.0.1:9108/metrics").read().decode())')
printf '%s\n' "$metrics" | grep -Eq '^tavrix_gateway_refusals_total\{gateway="gw-1"\} [4-9]' ||
    fail "the Prometheus endpoint does not count the refusals: $metrics"
printf '%s\n' "$metrics" | grep -Eq '^tavrix_gateway_writes_total\{gateway="gw-1"\} 2$' ||
    fail "the Prometheus endpoint does not count two writes: $metrics"

echo "== a controller killed goes offline within its timeout, restarted comes back"
from=$(lines)
killed=$(now)
kill "$sim21"
wait "$sim21" 2>/dev/null
line=$(wait_line "$from" 10 " tavrix/press1/status offline") || fail "press1 did not go offline"
took=$(awk "BEGIN { printf \"%.2f\", ${line%% *} - $killed }")
echo "   offline after ${took} s (timeout 1 s)"
# The bound leaves room for a machine busy with parallel builds.
awk "BEGIN { exit !($took < 2.0) }" || fail "press1 went offline after $took s with a 1 s timeout"
from=$(lines)
mosquitto_pub -h 127.0.0.1 -t 'tavrix/press1/set/VR(5)' -m 1
[ "$(result_for "$from" press1 'press1/set/VR\(5\)')" = 30005 ] || fail "a write to an offline controller was not refused"
from=$(lines)
start 127.0.0.21
wait_line "$from" 15 " tavrix/press1/status online" >/dev/null || fail "press1 did not come back online"
wait_line "$from" 10 " tavrix/press1/values " >/dev/null || fail "no values from press1 after its restart"

echo "== the broker restarted: reconnection and the retained topics again"
kill "$log_pid"
kill "$broker_pid"
wait "$broker_pid" 2>/dev/null
sleep 1.5   # values are dropped (and counted) meanwhile
restarted=$(now)
: >"$work/all.log"
start_broker
start_log
wait_line 0 10 " tavrix/press1/status online" >/dev/null || fail "press1's retained status did not come back"
line=$(wait_line 0 10 " tavrix/saw/status online") || fail "saw's retained status did not come back"
took=$(awk "BEGIN { printf \"%.2f\", ${line%% *} - $restarted }")
echo "   retained status again after ${took} s"
wait_line 0 10 " tavrix/press1/info " >/dev/null || fail "press1's retained info did not come back"
line=$(wait_line 0 10 " tavrix/gateway/gw-1/metrics .*\"reconnects\":[1-9]") || fail "no reconnection counted"
printf '%s\n' "$line" | grep -Eq '"dropped":[1-9]' || fail "no dropped values counted while the broker was away: $line"

echo "== SIGTERM: every controller offline, links closed"
from=$(lines)
kill -TERM "$gw1" "$gw2"
wait "$gw1"
rc1=$?
wait "$gw2"
rc2=$?
[ "$rc1" -eq 0 ] && [ "$rc2" -eq 0 ] || fail "the gateways exited $rc1 and $rc2 after SIGTERM"
wait_line "$from" 5 " tavrix/press1/status offline" >/dev/null || fail "press1 not offline after SIGTERM"
wait_line "$from" 5 " tavrix/saw/status offline" >/dev/null || fail "saw not offline after SIGTERM"
wait_line "$from" 5 " tavrix/gateway/gw-1/status offline" >/dev/null || fail "gw-1 not offline after SIGTERM"
grep -q stopped "$work/gw1.log" || fail "gw-1 did not log its stop: $(cat "$work/gw1.log")"

echo "== a retained request is an old one: refused when a gateway subscribes"
mosquitto_pub -h 127.0.0.1 -r -t 'tavrix/saw/set/VR(9)' -m 55
from=$(lines)
"$gateway" --config "$work/gw2.toml" 2>>"$work/gw2.log" &
gw2=$!
pids+=("$gw2")
from=$(lines)
wait_line "$from" 15 " tavrix/saw/status online" >/dev/null || fail "saw did not come online again"
[ "$(result_for "$from" saw 'saw/set/VR\(9\)')" = 30004 ] || fail "a retained write was carried out on subscription"
mosquitto_pub -h 127.0.0.1 -r -t 'tavrix/saw/set/VR(9)' -n
[ "$(read_var 127.0.0.22 'VR(9)')" = 4 ] || fail "the retained write changed VR(9)"

echo "== a gateway that dies: its will marks the controller offline"
from=$(lines)
kill -KILL "$gw2"
wait "$gw2" 2>/dev/null
# The broker notices the dead connection after 1.5 keepalive periods.
wait_line "$from" 25 " tavrix/saw/status offline" >/dev/null || fail "the will did not mark saw offline"

echo "== mqtts:// with a CA file, a user name and a password file"
if command -v openssl >/dev/null && command -v mosquitto_passwd >/dev/null; then
    tls=$work/tls
    mkdir -p "$tls"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=test-ca -keyout "$tls/ca.key" -out "$tls/ca.pem" \
        2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout "$tls/server.key" -out "$tls/server.csr" 2>/dev/null
    printf 'subjectAltName=IP:127.0.0.1\n' >"$tls/san.ext"
    openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.pem" -CAkey "$tls/ca.key" -CAcreateserial -days 2 \
        -extfile "$tls/san.ext" -out "$tls/server.pem" 2>/dev/null
    touch "$tls/passwords"
    chmod 600 "$tls/passwords"
    mosquitto_passwd -b "$tls/passwords" gateway s3cret
    cat >"$tls/mosquitto.conf" <<CONF
listener 8883 127.0.0.1
cafile $tls/ca.pem
certfile $tls/server.pem
keyfile $tls/server.key
allow_anonymous false
password_file $tls/passwords
persistence false
user root
CONF
    mosquitto -c "$tls/mosquitto.conf" >"$tls/mosquitto.log" 2>&1 &
    pids+=($!)
    sleep 0.5
    echo s3cret >"$tls/good"
    echo wrong >"$tls/bad"
    for password in good bad; do
        sed -e 's|mqtt://127.0.0.1:1883|mqtts://127.0.0.1:8883|' \
            -e "s|^client_id = .*|&\nusername = \"gateway\"\npassword_file = \"$tls/$password\"\nca_file = \"$tls/ca.pem\"|" \
            "$work/gw2.toml" >"$tls/$password.toml"
        "$gateway" --config "$tls/$password.toml" 2>"$tls/gw-$password.log" &
        pids+=($!)
    done
    got=
    for _ in $(seq 100); do
        got=$(mosquitto_sub -h 127.0.0.1 -p 8883 --cafile "$tls/ca.pem" -u gateway -P s3cret -t 'tavrix/saw/status' \
            -C 1 -W 2 2>/dev/null) && [ "$got" = online ] && break
        sleep 0.1
    done
    [ "$got" = online ] || fail "no online status over mqtts with the right password: $(cat "$tls/gw-good.log")"
    grep -q "refused the connection" "$tls/gw-bad.log" || fail "a wrong password was not reported: $(cat "$tls/gw-bad.log")"
    [ "$(grep -c "refused the connection" "$tls/gw-bad.log")" -le 2 ] ||
        fail "the refusal is logged on every attempt: $(cat "$tls/gw-bad.log")"
else
    echo "   (skipped: openssl or mosquitto_passwd missing)"
fi

if [ "$failures" -ne 0 ]; then
    echo "--- gateway logs"
    cat "$work/gw1.log" "$work/gw2.log"
    echo "$failures failure(s)"
    exit 1
fi
echo "gateway end to end: all passed"

#!/bin/bash
# tvx panel over HTTP, as other sites, careless clients and a dying
# controller meet it: the token, Host and Origin checks, the input form, the
# one-second bound on inputs and their order, screen epochs across panel
# processes, request size and time limits, and the stale-screen answer.
# tavrix-sim (with --trace, to see what reaches it) on a loopback address in
# a private network namespace.
# Usage: panel_http_e2e.sh TAVRIX_SIM TVX
# Exit 77 (skipped) without namespaces, curl or python3.
set -u
sim=$1
tvx=$2
if [ "${3:-}" != "--inside" ]; then
    for tool in curl python3; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
    done
fi
namespace_seconds=170

. "$(dirname "$0")/e2e_lib.sh"

ctl=127.0.0.70
base=http://127.0.0.1:8090
simlog=$work/$ctl.log

# panel PORT: starts tvx panel on PORT; sets panel_pid, url and token.
panel() {
    "$tvx" panel "$ctl" --listen "127.0.0.1:$1" >"$work/panel.log" 2>&1 &
    panel_pid=$!
    pids+=("$panel_pid")
    wait_for "$work/panel.log" 'http://'
    url=$(grep -o 'http://[^ ]*' "$work/panel.log")
    token=${url##*token=}
    [ -n "$url" ] || { cat "$work/panel.log"; echo "FAIL: tvx panel did not start"; exit 1; }
}

# status CURL-ARGS...: the HTTP status of a request.
status() { curl -s -o "$work/body" -w '%{http_code}' --max-time 10 "$@"; }

# input SEQ JSON-FIELDS [CURL-ARGS...]: posts one input as the page does.
input() {
    local seq=$1 fields=$2
    shift 2
    status -H "X-Panel-Token: $token" -H 'Content-Type: application/json' \
        -d "{\"page\":\"e2e\",\"seq\":$seq,\"made\":0,\"sent\":1,$fields}" "$@" "$base/api/input"
}

# The x positions of the touches (presses) the simulator received, in order.
touches() {
    awk '$1 == "rx" && $13 == "00" && $14 == "96" && $19 == "01" { print $21 $20 }' "$simlog" |
        while read -r hex; do echo $((16#$hex)); done | tr '\n' ' '
}

start "$ctl" --trace
panel 8090

# ---- who may use the panel ------------------------------------------------
[ "$(status "$url")" = 200 ] || fail "the printed URL does not open the page"
grep -q 'X-Panel-Token' "$work/body" || fail "the page does not send its token"
touch_json='"kind":"touch","x":690,"y":316'
# Each refused before anything reaches the controller.
while IFS='|' read -r expected what args; do
    eval "set -- $args"
    got=$(status "$@")
    [ "$got" = "$expected" ] || fail "$what: status $got, expected $expected"
done <<EOF
403|page without token|$base/
403|page with a wrong token|$base/?token=0123456789abcdef0123456789abcdef
403|screen without token|$base/api/frame
403|input without token|-H 'Content-Type: application/json' -d '{"page":"x","seq":1,"made":0,"sent":1,$touch_json}' $base/api/input
403|rebound name|-H 'Host: evil.example:8090' -H "X-Panel-Token: $token" $base/api/frame
403|rebound name, page|-H 'Host: evil.example:8090' "$url"
403|another site's page|-H 'Origin: http://evil.example' -H "X-Panel-Token: $token" -H 'Content-Type: application/json' -d '{"page":"x","seq":1,"made":0,"sent":1,$touch_json}' $base/api/input
415|form post|-H "X-Panel-Token: $token" -d 'kind=touch&x=690&y=316' $base/api/input
415|text/plain post|-H "X-Panel-Token: $token" -H 'Content-Type: text/plain' -d '{"page":"x","seq":1,"made":0,"sent":1,$touch_json}' $base/api/input
405|preflight|-X OPTIONS -H 'Origin: http://evil.example' -H 'Access-Control-Request-Method: POST' -H 'Access-Control-Request-Headers: x-panel-token,content-type' $base/api/input
EOF
# No answer admits another origin.
curl -s -D "$work/headers" -o /dev/null -X OPTIONS -H 'Origin: http://evil.example' \
    -H 'Access-Control-Request-Method: POST' "$base/api/input"
curl -s -D - -o /dev/null -H "X-Panel-Token: $token" -H 'Origin: http://evil.example' "$base/api/frame" >>"$work/headers"
curl -s -D - -o /dev/null -H "X-Panel-Token: $token" "$base/api/frame" >>"$work/headers"
grep -qi '^access-control-allow' "$work/headers" && fail "an answer carries a CORS header: $(grep -i '^access-control' "$work/headers")"
[ -z "$(touches)" ] || fail "refused requests reached the controller: touches at $(touches)"

# The panel's own page may; localhost names this machine too.
[ "$(input 1 '"kind":"touch","x":11,"y":316' -H 'Origin: http://127.0.0.1:8090')" = 200 ] ||
    fail "the page's own touch was not delivered: $(cat "$work/body")"
[ "$(input 2 '"kind":"touch","x":12,"y":316' -H 'Host: localhost:8090' -H 'Origin: http://localhost:8090')" = 200 ] ||
    fail "a touch through localhost was not delivered: $(cat "$work/body")"

# ---- order -------------------------------------------------------------------
[ "$(input 10 '"kind":"touch","x":13,"y":316')" = 200 ] || fail "touch 10 not delivered: $(cat "$work/body")"
[ "$(input 9 '"kind":"touch","x":14,"y":316')" = 409 ] || fail "an earlier input after a later one was not refused"
[ "$(input 10 '"kind":"touch","x":15,"y":316')" = 409 ] || fail "an input given twice was not refused"
# Made more than a second before it was sent: dropped.
[ "$(status -H "X-Panel-Token: $token" -H 'Content-Type: application/json' \
    -d '{"page":"e2e","seq":11,"made":0,"sent":1500,"kind":"touch","x":16,"y":316}' "$base/api/input")" = 504 ] ||
    fail "an input made 1.5 s before it was sent was not refused as late"
for bad in '{"page":"e2e","seq":12,"made":0,"sent":1,"kind":"touch","x":1}' '{"page":"e2e","seq":0,"made":0,"sent":1,"kind":"key","key":1,"state":1}' \
    '{"page":"e2e","seq":13,"made":0,"sent":1,"kind":"key","key":65,"state":2}' 'not json' '[1,2]'; do
    got=$(status -H "X-Panel-Token: $token" -H 'Content-Type: application/json' -d "$bad" "$base/api/input")
    [ "$got" = 400 ] || fail "malformed input $bad: status $got"
done
sleep 0.3
[ "$(touches)" = "11 12 13 " ] || fail "the controller received touches at '$(touches)', expected '11 12 13 '"

# ---- hardening ---------------------------------------------------------------
got=$(head -c 100000 /dev/zero | status -H "X-Panel-Token: $token" -H 'Content-Type: application/json' \
    --data-binary @- "$base/api/input")
[ "$got" = 413 ] || fail "a 100 kB body: status $got, expected 413"
python3 - "$token" <<'EOF' || fail "slow clients"
import socket, sys, time
token = sys.argv[1]
def connect():
    s = socket.create_connection(("127.0.0.1", 8090))
    s.settimeout(10)
    return s
# A 1 GiB body announced: refused at once, nothing read.
s = connect()
s.sendall(("POST /api/input HTTP/1.1\r\nHost: 127.0.0.1:8090\r\nX-Panel-Token: %s\r\n"
           "Content-Type: application/json\r\nContent-Length: 1073741824\r\n\r\n{" % token).encode())
reply = s.recv(100).decode(errors="replace")
assert " 413 " in reply.split("\r\n")[0], "1 GiB announced: " + reply
# Ten clients that trickle a request a byte at a time.
slow = [connect() for _ in range(10)]
for c in slow: c.sendall(b"GET /api/frame HTTP/1.1\r\n")
t0 = time.monotonic()
# The page's own request still goes through at once.
s = connect()
s.sendall(("GET /api/info HTTP/1.1\r\nHost: 127.0.0.1:8090\r\nX-Panel-Token: %s\r\nConnection: close\r\n\r\n" % token).encode())
reply = s.recv(4096).decode(errors="replace")
assert " 200 " in reply.split("\r\n")[0] and time.monotonic() - t0 < 1.0, "info beside slow clients: " + reply
# Each slow client is cut off within the request's time, however it trickles.
closed = 0
while time.monotonic() - t0 < 8 and closed < len(slow):
    time.sleep(0.5)
    for c in slow:
        if c.fileno() < 0: continue
        try:
            c.sendall(b"X")
            c.setblocking(False)
            if c.recv(1) == b"": raise ConnectionError()
        except BlockingIOError:
            pass
        except OSError:
            c.close()
            closed += 1
        finally:
            if c.fileno() >= 0: c.setblocking(True)
took = time.monotonic() - t0
assert closed == len(slow), "%d of %d slow clients still connected after %.1f s" % (len(slow) - closed, len(slow), took)
assert took < 6, "slow clients cut off after %.1f s" % took
EOF

# ---- a dead controller -------------------------------------------------------
kill "${pids[0]}"
wait "${pids[0]}" 2>/dev/null
killed=$(date +%s%N)
stale=""
while [ $(( ($(date +%s%N) - killed) / 1000000 )) -lt 4000 ]; do
    if [ "$(status -H "X-Panel-Token: $token" "$base/api/frame?since=1")" = 503 ]; then
        stale=$(( ($(date +%s%N) - killed) / 1000000 ))
        break
    fi
    sleep 0.1
done
[ -n "$stale" ] && [ "$stale" -lt 2000 ] || fail "the screen was not reported stale within 2 s of the controller's death (${stale:-never} ms)"
grep -q '"lastAnswer":[1-9]' "$work/body" || fail "the stale answer does not say since when: $(head -c 200 "$work/body" | tr -c "[:print:]" .)"
# RUN STOP RUN STOP RUN STOP pressed at once while the controller is gone
# (x tells them apart): none may arrive once it is back.
for i in 1 2 3 4 5 6; do
    (input $((20 + i)) "\"kind\":\"touch\",\"x\":$((20 + i)),\"y\":316" >"$work/late$i") &
done
wait_start=$(date +%s%N)
sleep 3
start "$ctl" --trace
for i in 1 2 3 4 5 6; do
    while [ ! -s "$work/late$i" ] && [ $(( ($(date +%s%N) - wait_start) / 1000000 )) -lt 10000 ]; do sleep 0.1; done
    got=$(cat "$work/late$i")
    case "$got" in 502 | 504 | 409) ;; *) fail "input $i while the controller was gone: status '$got'" ;; esac
done
back=""
for _ in $(seq 50); do
    [ "$(status -H "X-Panel-Token: $token" "$base/api/frame?since=1")" = 200 ] && { back=yes; break; }
    sleep 0.1
done
[ -n "$back" ] || fail "the panel did not recover when the controller came back"
sleep 1
[ -z "$(touches)" ] || fail "inputs made while the controller was gone were pressed later: touches at $(touches)"

# ---- screen epochs -----------------------------------------------------------
# A page that saw one panel process asks the next one for what changed since
# its version: it must get the whole screen, not that process's changes.
status -H "X-Panel-Token: $token" "$base/api/frame?since=0" >/dev/null
old_version=$(od -An -tu4 -N4 "$work/body" | tr -d ' ')
old_epoch=$(curl -s -D - -o /dev/null -H "X-Panel-Token: $token" "$base/api/frame?since=0" | tr -d '\r' |
    awk -F': ' 'tolower($1) == "x-panel-epoch" { print $2 }')
kill "$panel_pid"
wait "$panel_pid" 2>/dev/null
panel 8090
# The simulator's clock changes the screen every second.
for _ in $(seq 100); do
    status -H "X-Panel-Token: $token" "$base/api/frame?since=0" >/dev/null
    [ "$(od -An -tu4 -N4 "$work/body" | tr -d ' ')" -gt "$old_version" ] && break
    sleep 0.1
done
status -H "X-Panel-Token: $token" "$base/api/frame?since=$old_version&epoch=$old_epoch" >/dev/null
size=$(stat -c %s "$work/body")
[ "$size" = $((16 + 800 * 480 * 2)) ] || fail "a page of the previous panel got $size bytes, not the whole screen"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"

#!/bin/sh
# Starts simulated controllers on loopback addresses and on a pseudo-terminal
# and shows the product in short scenes of real output: tvx finding and
# querying them, programs and variables, live values, pictures, a standard
# Modbus client, firmware checks, the gateway and the browser panel; then
# stops them. Runs inside a private network namespace (unshare -rn) where
# port 502 needs no privileges and the discovery broadcast cannot leave the
# machine; as root without namespaces it falls back to plain loopback and
# skips the broadcast search. The pictures it makes stay in build/demo.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_BUILD_DIR:-$here/build}
out=${TVX_DEMO_OUT:-$build/demo}
started=$(date +%s.%N)
sim=$build/sim/tavrix-sim
tvx=$build/bin/tvx
PATH=$PATH:/usr/sbin:/sbin
export PATH

if [ ! -x "$sim" ] || [ ! -x "$tvx" ]; then
    echo "demo: $sim or $tvx is missing; 'make demo' builds them" >&2
    exit 1
fi

mode=${1:-}
if [ "$mode" = "" ]; then
    if unshare -rn true 2>/dev/null; then
        TVX_DEMO_STARTED=$started exec unshare -rn "$here/scripts/demo.sh" --namespace
    fi
    if [ "$(id -u)" -eq 0 ]; then
        echo "demo: no network namespace available; using the host's loopback (no broadcast search)"
        TVX_DEMO_STARTED=$started exec "$here/scripts/demo.sh" --host
    fi
    echo "demo: needs 'unshare -rn' (user namespaces) or root to use UDP port 502" >&2
    exit 1
fi

started=${TVX_DEMO_STARTED:-$started}
logs=$(mktemp -d)
mkdir -p "$out"
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

. "$here/scripts/sim_lib.sh"

# start_sim ADDRESS OPTIONS...: starts a simulator and waits until it listens.
start_sim() {
    address=$1
    shift
    sim_start "$address" listening --address "$address" "$@"
    sed 's/^/  /' "$logs/$address.log"
}

show() {
    echo
    echo "\$ tvx $*"
    "$tvx" "$@"
}

# scene TITLE: a heading with the seconds since the demo started.
scene() {
    echo
    printf '== [%5.1f s] %s\n' "$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')" "$1"
}

echo "== Starting simulated controllers (tavrix-sim)"
start_sim 127.0.0.21 --set axes=8 --set inputs=0,2,5,9 --set version-text="DEMO 4.1.2"
start_sim 127.0.0.22 --set axes=4 --set state=1
start_sim 127.0.0.23 --drop-replies 30% --duplicate 10% --seed 7

scene "Finding controllers"
if [ "$mode" = "--namespace" ]; then
    show search --time 300
else
    echo "(skipped: a broadcast would leave this machine)"
fi

scene "Asking one controller about itself"
show info 127.0.0.21

scene "Digital and analog I/O"
show io 127.0.0.21 in 0-15
show io 127.0.0.21 set 3 1 4 1
show io 127.0.0.21 get 0 7
show io 127.0.0.21 ain 2

scene "Text commands to the controller's interpreter"
show exec 127.0.0.21 'VR(10)=6*7: ?VR(10), 1/4'
show exec 127.0.0.21 '?SQR(2)*ABS(-3), VR(10)>40 AND VR(10)<50'
# The controller answers with an error line; tvx exits 1 for it.
show exec 127.0.0.21 'FOO 1' || echo "(tvx exited $?)"

scene "A serial controller: RTU frames on a pseudo-terminal, opened as COM3"
sim_start com3 '^TAVRIX_COM3=' --pty "$logs/com3" --com 3 --set version-text="SERIAL 2.0"
sed 's/^/  /' "$logs/com3.out"
TAVRIX_COM3=$logs/com3
export TAVRIX_COM3
echo "  (TAVRIX_COM3 names the device; without it COM3 is /dev/ttyS2)"
echo
echo "\$ tvx info COM3    (some of its lines)"
"$tvx" info COM3 | grep -E '^(controller|soft version|axes)'
show exec COM3 '?1+2, SQR(16)'

scene "A BASIC program: put, run, its PRINT messages, a variable"
cat >"$logs/COUNT.BAS" <<'BAS'
LOCAL n
FOR n = 1 TO 3
  PRINT "pass", n
  VR(5) = n * 7
NEXT n
PRINT "done"
BAS
sed 's/^/  | /' "$logs/COUNT.BAS"
show put 127.0.0.21 "$logs/COUNT.BAS"
show run 127.0.0.21 COUNT.BAS
sleep 0.2
show messages 127.0.0.21
show var 127.0.0.21 'VR(5)'

scene "Files: listed and read back"
show ls 127.0.0.21
show get 127.0.0.21 COUNT.BAS "$logs/back.bas"
cmp "$logs/COUNT.BAS" "$logs/back.bas" && echo "(identical)"

scene "Live values pushed every cycle, for two seconds, drawn as a chart"
"$tvx" exec 127.0.0.21 'SPEED AXIS(0) = 50: FORWARD AXIS(0)' >/dev/null 2>&1 || true
echo
echo "\$ tvx watch 127.0.0.21 'DPOS(0) VR(5)' --cycle 250 --time 2000 --plot $out/watch.png"
"$tvx" watch 127.0.0.21 'DPOS(0) VR(5)' --cycle 250 --time 2000 --plot "$out/watch.png" | tail -n 4
echo "(the chart: $out/watch.png)"

scene "Pictures: the LCD screen and a camera image, as PNG files"
show lcd snapshot 127.0.0.21 "$out/lcd.png"
show vision grab 127.0.0.21 0 "$out/camera0.png"
echo "(in $out)"

scene "The controller's registers, written by tvx, read by pymodbus's client"
show modbus 127.0.0.21 write regs 100 3 11 22 33
python=/usr/bin/python3
[ -x "$python" ] || python=python3
echo
echo "\$ python3 (pymodbus ModbusUdpClient: read_holding_registers(100, 3))"
"$python" - <<'PY' || echo "(pymodbus is missing: scripts/install-deps.sh demo installs python3-pymodbus)"
from pymodbus.client import ModbusUdpClient

client = ModbusUdpClient("127.0.0.21", port=502, timeout=2)
client.connect()
reply = client.read_holding_registers(100, 3, slave=1)
print(type(reply).__name__, reply.registers)
client.close()
PY

scene "Firmware: an image cut short is refused before anything is sent"
# A plain image whose header declares 4096 bytes of payload, cut at 1000.
{ printf '\001\000\000\000\000\000\000\000\000\000\000\000\000\020\000\000'
  head -c 1016 /dev/zero; } >"$logs/cut.fw"
show firmware check 127.0.0.21 "$logs/cut.fw" || echo "(exit status $?)"

scene "A lossy controller: 127.0.0.23 drops 30% of its replies; the library resends"
show io 127.0.0.23 get 0 31
show io 127.0.0.23 set 7 1
show io 127.0.0.23 out 7

scene "Errors are one line with the code's description, and a non-zero exit status"
show info 127.0.0.29 || echo "(exit status $?)"
show io 127.0.0.21 in 70000 || echo "(exit status $?)"
show --timeout 300 io 127.0.0.21 ain 99 || echo "(exit status $?)"

scene "The browser panel: the controller's screen, touch and keys"
"$tvx" panel 127.0.0.21 --listen 127.0.0.1:8080 >"$logs/panel.out" 2>&1 &
panel=$!
pids="$pids $panel"
i=0
until grep -q 'http://' "$logs/panel.out" 2>/dev/null; do
    i=$((i + 1))
    [ $i -le 50 ] || { cat "$logs/panel.out" >&2; break; }
    sleep 0.1
done
echo
echo "\$ tvx panel 127.0.0.21 --listen 127.0.0.1:8080"
cat "$logs/panel.out"
url=$(grep -o 'http://[^ ]*' "$logs/panel.out" | head -n 1)
"$python" -c 'import sys, urllib.request
with urllib.request.urlopen(sys.argv[1]) as r:
    print("GET the page with its token ->", r.status, r.headers.get("Content-Type"), len(r.read()), "bytes")' "$url" || true
echo "(this panel lives in the demo's private network and stops with it; against a"
echo " controller on your network, open the URL tvx panel prints in a browser)"

scene "Stopping the simulators"
for pid in $pids; do kill "$pid" 2>/dev/null || true; done
for pid in $pids; do wait "$pid" 2>/dev/null || true; done
pids=""
grep -h stopped "$logs"/*.log | sed 's/^/  /'
echo
# The gateway scene runs in a network namespace of its own.
"$here/scripts/demo-gateway.sh"
printf 'Demo done in %.0f s. Try it yourself, for real: make sandbox (a shell with three\n' \
    "$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')"
echo "simulated controllers, one lossy and one on a serial line, tvx and tavrix-sim on PATH)."

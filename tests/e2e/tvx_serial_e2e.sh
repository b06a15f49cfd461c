#!/bin/bash
# End to end over a serial line: tavrix-sim on pseudo-terminals, reached by
# tvx as COM ports through TAVRIX_COMn. No privileges, no network.
# Usage: tvx_serial_e2e.sh TAVRIX_SIM TVX
set -u
sim=$1
tvx=$2

. "$(dirname "$0")/e2e_lib.sh"

# serial N OPTIONS...: a simulator on a pseudo-terminal linked as $work/comN,
# mapped to COMN.
serial() {
    local n=$1
    shift
    "$sim" --pty "$work/com$n" --com "$n" --exit-with-parent "$@" >"$work/com$n.out" 2>"$work/com$n.log" &
    pids+=($!)
    wait_for "$work/com$n.log" "serial line"
    grep -q "^TAVRIX_COM$n=/dev/" "$work/com$n.out" || { cat "$work/com$n.log"; echo "FAIL: no serial simulator COM$n"; exit 1; }
    export "TAVRIX_COM$n=$work/com$n"
}

serial 3 --set axes=5 --set version-text="SERIAL 2.0"
serial 4 --silent
serial 5 --baud 9600

# Queries, a command and files over the line.
expect 0 '^axes +5$' "$tvx" info COM3
expect 0 'SERIAL 2\.0' "$tvx" info com3
expect 0 '^3$' "$tvx" exec COM3 '?1+2'
head -c 3000 /dev/urandom >"$work/payload.bin"
expect 0 'payload\.bin: 3000 bytes' "$tvx" put COM3 "$work/payload.bin" payload.bin
expect 0 ': 3000 bytes' "$tvx" get COM3 payload.bin "$work/back.bin"
cmp -s "$work/payload.bin" "$work/back.bin" || fail "file changed on its way over the line"

# A silent port, a controller at another baud, and addresses that are not ports.
expect 1 'no controller answered on COM4' "$tvx" --timeout 500 info COM4
expect 1 'no controller answered on COM5' "$tvx" info COM5
expect 2 'not a controller address' "$tvx" info COM0
expect 2 'not a controller address' "$tvx" info COM1025

# The scan finds the port that answers, past the silent one.
expect 0 '^COM3$' "$tvx" search --serial 3-5
expect 2 'needs ports' "$tvx" search --serial 4-3
expect 1 'no controller answered on COM4 to COM4' "$tvx" search --serial 4
expect 2 'needs ports' "$tvx" search --serial 0-2

# A port whose device cannot be opened: the line names the device (and the
# mapping that chose it) and the system's reason.
TAVRIX_COM9=$work/no-such-device expect 1 \
    "Com error\\. \\(20007\\): COM9 is $work/no-such-device \\(TAVRIX_COM9\\): No such file or directory" \
    "$tvx" info COM9
expect 1 'Com error\. \(20007\): COM30 is /dev/ttyS29: ' "$tvx" info COM30

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "serial end-to-end: all checks passed"

#!/bin/bash
# End to end over the stand-in card driver: tavrix-sim --pci on a loopback
# TCP port, tvx through the shared library with TAVRIX_PCI_DRIVER set.
# Usage: pci_tvx_e2e.sh TAVRIX_SIM TVX
set -u
sim=$1
tvx=$2

. "$(dirname "$0")/e2e_lib.sh"

# A free port: the simulator takes the first one it can listen on.
started=0
for port in $(shuf -i 20000-60000 -n 10); do
    "$sim" --pci --pci-cards 2 --pcie-cards 1 --max-packet 64 --port "$port" --exit-with-parent 2>"$work/sim.log" &
    pid=$!
    for _ in $(seq 50); do
        grep -q TAVRIX_PCI_DRIVER "$work/sim.log" && { started=1; break; }
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    [ "$started" = 1 ] && { pids+=("$pid"); break; }
done
[ "$started" = 1 ] || { cat "$work/sim.log"; echo "FAIL: tavrix-sim --pci did not start"; exit 1; }
export TAVRIX_PCI_DRIVER=sim:127.0.0.1:$port

# PCI3 and PCIE1 are the same card (the third); PCI4 and PCIE2 do not exist.
expect 0 '^client id +0x00010003$' "$tvx" info PCI3
third=$("$tvx" info PCI3 | grep '^client id')
[ "$third" = "$("$tvx" info pcie1 | grep '^client id')" ] || fail "PCI3 and PCIE1 answer differently"
[ "$third" != "$("$tvx" info PCI1 | grep '^client id')" ] || fail "PCI1 and PCI3 answer alike"
expect 1 '20028' "$tvx" info PCI4
expect 1 '20028' "$tvx" info PCIE2

# A text command and a file both ways, in packets of 64 bytes.
expect 0 '^42$' "$tvx" exec PCI2 '?6*7'
head -c 30000 /dev/urandom >"$work/up.bin"
expect 0 '' "$tvx" put PCI2 "$work/up.bin" card.bin
expect 0 '' "$tvx" get PCI2 card.bin "$work/down.bin"
cmp -s "$work/up.bin" "$work/down.bin" || fail "the file came back different"

# Without the stand-in there are no cards on this system.
unset TAVRIX_PCI_DRIVER
expect 1 '20028' "$tvx" info PCI1

[ "$failures" -eq 0 ] && echo "PASS" || exit 1

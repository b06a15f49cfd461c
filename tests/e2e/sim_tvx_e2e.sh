#!/bin/bash
# End to end over real UDP: tavrix-sim on loopback addresses, driven by tvx
# through the shared library. Runs in a private network namespace so that
# port 502 needs no privileges and broadcasts stay inside.
# Usage: sim_tvx_e2e.sh TAVRIX_SIM TVX      Exit 77 (skipped) without namespaces.
set -u
sim=$1
tvx=$2
namespace_seconds=100
namespace_broadcast=1

. "$(dirname "$0")/e2e_lib.sh"

cat >"$work/a.conf" <<'CONF'
# controller A
axes = 6
version-text = E2E 1.0
inputs = 0,2,9
ain.4 = 2.5
CONF

start 127.0.0.50 --config "$work/a.conf"
start 127.0.0.51 --set axes=3

# Discovery lists both, one line each.
found=$("$tvx" search --time 300 | sort | tr '\n' ' ')
[ "$found" = "127.0.0.50 127.0.0.51 " ] || fail "search found '$found'"

# Queries reflect the configuration.
expect 0 '^axes +6$' "$tvx" info 127.0.0.50
expect 0 '^soft version +E2E 1.0 ' "$tvx" info 127.0.0.50
expect 0 '^system record +3 axes' "$tvx" info 127.0.0.51
expect 0 '^  00: .. .. .. .. 06 00 ' "$tvx" info 127.0.0.50

# I/O: configured inputs, outputs set and read back, ranges across requests.
expect 0 '^in 0-15: 10100000 01000000$' "$tvx" io 127.0.0.50 in 0-15
expect 0 '^out 3: 1$' "$tvx" io 127.0.0.50 set 3 1 40 1
expect 0 '^out 3: 1$' "$tvx" io 127.0.0.50 out 3
expect 0 '^out 32-47: 00000000 10000000$' "$tvx" io 127.0.0.50 out 32-47
expect 0 '^out 0-7: 10100101$' "$tvx" io 127.0.0.50 setall 0 7 0xA5
expect 0 '^out 0-9: 10100101 00$' "$tvx" io 127.0.0.50 get 0 9
expect 0 '^ain 4: 2.5$' "$tvx" io 127.0.0.50 ain 4
expect 0 '^aout 1: -7$' "$tvx" io 127.0.0.50 aout 1 -7
expect 0 '^out 3: 0$' "$tvx" io 127.0.0.51 out 3   # the other controller is untouched

# Modbus coils and registers, and the named areas over the same store.
expect 0 '^regs 10-12: 7 65535 3$' "$tvx" modbus 127.0.0.50 write regs 10 3 7 -1 3
expect 0 '^regs 11: 65535$' "$tvx" modbus 127.0.0.50 read regs 11 1
expect 0 '^coils 4-13: 10110000 01$' "$tvx" modbus 127.0.0.50 write coils 4 10 1 0 1 1 0 0 0 0 0 1
expect 0 '^M 4-7: 1 0 1 1$' "$tvx" reg 127.0.0.50 M 4 4
expect 0 '^D 10-11: 7 -1$' "$tvx" reg 127.0.0.50 D 10 2
expect 0 '^VR 2-3: 1.5 -3$' "$tvx" reg 127.0.0.50 VR 2 2 1.5 -3
expect 0 '^-3$' "$tvx" exec 127.0.0.50 '?VR(3)'
expect 0 '^DT 0: 0.125$' "$tvx" reg 127.0.0.50 DT 0 1 --width 64 0.125
expect 1 'modbus .*\(3422\)$' "$tvx" modbus 127.0.0.50 read regs 8190 5
expect 1 'reg .*\(20002\)$' "$tvx" reg 127.0.0.50 AD 0 1 5
expect 2 'COUNT must be 1-125' "$tvx" modbus 127.0.0.50 read regs 0 126

# Errors: controller status with its description; usage errors exit 2.
expect 1 'ain: .*\(3204\)$' "$tvx" io 127.0.0.50 ain 99
expect 2 'in needs N or FIRST-LAST' "$tvx" io 127.0.0.50 in 70000
expect 2 'set needs pairs' "$tvx" io 127.0.0.50 set 3
expect 2 'not a controller address' "$tvx" info 127.0.0.300

# Live values: the simulator pushes blocks every cycle; the counter moves.
expect 0 '^[0-9.]+ DPOS\(0\)=[0-9.]+ IN\(0\)=[01] TICKS=3$' "$tvx" watch 127.0.0.50 'DPOS(0) IN(0) TICKS' --cycle 20 --count 3
expect 1 'enable: .*\(3204\)$' "$tvx" watch 127.0.0.50 'NO_SUCH_VALUE' --count 1
expect 2 'ITEMS: a name was expected' "$tvx" watch 127.0.0.50 '9X'
# Indexes past 32 bits are refused, not wrapped round to 0 in the labels.
expect 2 'ITEMS: VR needs \(FIRST\)' "$tvx" watch 127.0.0.50 'VR(4294967295,2)'
expect 2 'unknown command' "$tvx" frobnicate
# ADDRESS comes right after the command; the older order of the commands
# with actions is still read the same.
for args in "firmware 127.0.0.50 check" "firmware check 127.0.0.50"; do
    # shellcheck disable=SC2086
    expect 1 "^tvx firmware check $work/none.fw: " "$tvx" $args "$work/none.fw"
done
expect 2 '--time needs' "$tvx" search --time 0
for c in search info io modbus reg; do
    expect 0 "^usage: tvx $c " "$tvx" "$c" --help
done
expect 0 '^  search ' "$tvx" --help
# An option without its value, or with one that does not read: one line
# naming the option and the usage, exit 2, nothing opened (and no endless loop).
while IFS='|' read -r pattern args; do
    # shellcheck disable=SC2086
    expect 2 "$pattern" timeout 5 "$tvx" $args
    # shellcheck disable=SC2086
    [ "$(timeout 5 "$tvx" $args 2>&1 | grep -c '^usage: tvx')" -eq 1 ] || fail "tvx $args: no single usage line"
done <<'CASES'
^tvx reg: --width|reg 127.0.0.50 D 0 1 --width
^tvx reg: --width must be 0-255|reg 127.0.0.50 D 0 1 --width=x
^tvx watch: --cycle|watch 127.0.0.50 TICKS --cycle
^tvx watch: --time needs|watch 127.0.0.50 TICKS --time -5
^tvx search: --serial|search --serial
^tvx exec: --time needs|exec --time 010x 127.0.0.50 ?1
^tvx.*: --timeout needs|--timeout 0 info 127.0.0.50
^tvx lcd: --screen needs|lcd 127.0.0.50 snapshot x.png --screen 256
^tvx io: missing ACTION|io 127.0.0.50
CASES

# Garbage datagrams, empty ones, an MBAP header with nothing behind it and
# oversized ones: the simulator answers what it can and keeps serving.
for i in $(seq 200); do
    head -c $((i * 7 % 1500 + 1)) /dev/urandom >/dev/udp/127.0.0.50/502
done
printf '' >/dev/udp/127.0.0.50/502
printf '\x00\x00\x00\x00\x00\x02\xfe\x48' >/dev/udp/127.0.0.50/502
printf '\x00\x00\x00\x00\x00\x04\xfe\x48\x06\x00' >/dev/udp/127.0.0.50/502
head -c 9000 /dev/zero >/dev/udp/127.0.0.50/502
sleep 0.2
kill -0 "${pids[0]}" 2>/dev/null || fail "simulator died on garbage"
expect 0 '^out 0-7: 10100101$' "$tvx" io 127.0.0.50 out 0-7

# A lossy controller: replies dropped, duplicated, reordered and noise in
# between; the library's resends still complete every request.
start 127.0.0.52 --seed 11 --drop-replies 0.3 --duplicate 0.2 --reorder 0.2 --noise 0.2 --trace
for i in 1 2 3; do
    expect 0 '^out 0-63: ' "$tvx" io 127.0.0.52 get 0 63
    expect 0 "^out $i: 1\$" "$tvx" io 127.0.0.52 set "$i" 1
done
expect 0 '^out 0-3: 0111$' "$tvx" io 127.0.0.52 out 0-3
grep -q '^drop-reply' "$work/127.0.0.52.log" || fail "no reply was dropped"
grep -q '^tx-dup' "$work/127.0.0.52.log" || fail "no reply was duplicated"

# A silent controller: the open gives up at once.
start 127.0.0.53 --silent
start_time=$(date +%s%N)
expect 1 'no controller answered at 127.0.0.53' "$tvx" info 127.0.0.53
elapsed=$((($(date +%s%N) - start_time) / 1000000))
[ "$elapsed" -lt 3000 ] || fail "open of a silent controller took ${elapsed} ms"

# The simulator refuses bad command lines and an address that is taken.
expect 2 'not a loopback address' "$sim" --address 10.1.2.3
expect 2 'unknown setting' "$sim" --address 127.0.0.54 --set colour=blue
expect 1 'cannot bind 127.0.0.50:502' "$sim" --address 127.0.0.50

# SIGTERM stops a simulator cleanly with its summary.
kill -TERM "${pids[0]}"
wait "${pids[0]}"
rc=$?
[ "$rc" -eq 0 ] || fail "simulator exited $rc on SIGTERM"
grep -q '^tavrix-sim: stopped; ' "$work/127.0.0.50.log" || fail "no summary after SIGTERM"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"

#!/bin/bash
# End to end over real UDP: tvx's var, array, messages, debug, lock and
# unlock commands against tavrix-sim. Runs in a private network namespace,
# as sim_tvx_e2e.sh does.
# Usage: tvx_monitor_e2e.sh TAVRIX_SIM TVX    Exit 77 (skipped) without namespaces.
set -u
sim=$(realpath "$1")
tvx=$(realpath "$2")
namespace_seconds=100

. "$(dirname "$0")/e2e_lib.sh"

store=$work/store
mkdir -p "$store"
cat >"$store/count.bas" <<'BAS'
LOCAL n
FOR n = 1 TO 3
  PRINT "pass", n
NEXT n
PRINT "done", n * 10
BAS
start 127.0.0.70 --files "$store"
A=127.0.0.70

# Variables and arrays, both ways and across requests (300 values > 248).
expect 0 '^VR\(7\) = 2.5$' "$tvx" var $A 'VR(7)' = 2.5
expect 0 '^VR\(7\) = 2.5$' "$tvx" var $A 'VR(7)'
expect 0 '^ok$' "$tvx" exec $A 'GLOBAL rate : rate = 4 : ?"ok"'
expect 0 '^rate = -1.25$' "$tvx" var $A rate=-1.25
values=$(seq 1 300 | tr '\n' ' ')
# shellcheck disable=SC2086
expect 0 '' "$tvx" array write $A TABLE 100 300 $values
expect 0 '^TABLE\(399\) = 300$' "$tvx" array read $A TABLE 100 300
expect 0 '^TABLE\(250\) = 151$' "$tvx" array read $A TABLE 250 1
expect 0 '^151$' "$tvx" exec $A '?TABLE(250)'
expect 1 '\(3204\)$' "$tvx" array read $A nothing 0 1
expect 2 'exactly COUNT values' "$tvx" array write $A TABLE 0 2 1

# The debugger: a breakpoint holds the program, a local is changed, a step
# runs one line, and the rest runs to the end.
session=$(printf 'break 3\nrun\nwhere\nlocals\nlet n = 2\nstep\ndelete 3\ngo\nwhere\nquit\n' | "$tvx" debug $A count.bas 2>&1)
printf '%s\n' "$session" | grep -q '^task 0 held at count.bas:3$' || fail "debug did not hold at line 3: $session"
printf '%s\n' "$session" | grep -q '^N = 1$' || fail "debug showed no local N = 1: $session"
printf '%s\n' "$session" | grep -q '^pass 2$' || fail "the changed local did not print: $session"
printf '%s\n' "$session" | grep -q '^done 40$' || fail "the program did not finish: $session"
printf '%s\n' "$session" | grep -q 'count.bas is not running' || fail "debug did not report the end: $session"

# Output printed while nobody debugs waits for tvx messages.
expect 0 '^(running|stopped)' "$tvx" run $A count.bas
expect 0 '^done 40$' "$tvx" messages $A

# The lock: file transfers and the debugger are refused until unlocked.
expect 0 '^locked$' sh -c "echo secret | '$tvx' lock $A"
expect 1 '\(223\)$' "$tvx" put $A "$store/count.bas" other.bas
expect 1 'ERROR 10' sh -c "echo wrong | '$tvx' unlock $A"
expect 0 '^unlocked$' sh -c "echo secret | '$tvx' unlock $A"
expect 0 '' "$tvx" put $A "$store/count.bas" other.bas

[ "$failures" -eq 0 ] || exit 1
echo "all tvx monitoring checks passed"

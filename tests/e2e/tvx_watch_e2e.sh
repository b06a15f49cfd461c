#!/bin/bash
# tvx watch against tavrix-sim that dies part way: the values are marked
# stale, --time still ends the watch on time, and the exit status says it
# ended without blocks. Also the JSON lines of watch --json.
# Usage: tvx_watch_e2e.sh TAVRIX_SIM TVX     Exit 77 (skipped) without namespaces.
set -u
sim=$1
tvx=$2
namespace_seconds=100
. "$(dirname "$0")/e2e_lib.sh"

# watch --json: one object per block, one per line, each with every value.
start 127.0.0.80
"$tvx" --json watch 127.0.0.80 'TICKS IN(0,2)' --cycle 20 --count 3 >"$work/blocks.json" 2>"$work/blocks.err" ||
    fail "watch --json failed: $(cat "$work/blocks.err")"
python3 - "$work/blocks.json" <<'PY' || fail "watch --json lines: $(cat "$work/blocks.json")"
import json, sys
docs = [json.loads(line) for line in open(sys.argv[1])]
assert len(docs) >= 1 and docs[-1]["blocks"] >= 3, docs
for d in docs:
    assert set(d) == {"time_ms", "blocks", "values"}, d
    assert set(d["values"]) == {"TICKS", "IN(0)", "IN(1)"}, d
PY

# The controller dies one second into a three-second watch.
start 127.0.0.81
begin=$(date +%s%N)
"$tvx" watch 127.0.0.81 'TICKS' --cycle 20 --time 3000 >"$work/watch.out" 2>"$work/watch.err" &
watcher=$!
sleep 1
kill -9 "${pids[1]}"
wait "${pids[1]}" 2>/dev/null
wait "$watcher"
rc=$?
elapsed=$((($(date +%s%N) - begin) / 1000000))
[ "$rc" -eq 1 ] || fail "a watch whose controller died exited $rc, expected 1"
# The open (probe) comes before the three seconds; a little slack for a busy machine.
[ "$elapsed" -ge 3000 ] && [ "$elapsed" -lt 4500 ] || fail "the watch with --time 3000 took $elapsed ms"
grep -Eq '^[0-9.]+ TICKS=[0-9]+$' "$work/watch.out" || fail "no block before the controller died: $(cat "$work/watch.out")"
grep -Eq '^[0-9.]+ STALE TICKS=[0-9]+\*$' "$work/watch.out" || fail "no stale mark: $(cat "$work/watch.out")"
[ "$(grep -c STALE "$work/watch.out")" -eq 1 ] || fail "the stale mark is not printed once"
grep -q 'no block from 127.0.0.81 for [0-9]* ms; the values shown are stale' "$work/watch.err" ||
    fail "no stale notice: $(cat "$work/watch.err")"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"

#!/bin/bash
# The protocol trace never holds or kills its host: a capture pipe whose
# reader stalls or goes away, and a Python program that leaves with a
# trace callback set and its controller open, all end promptly and well.
# Usage: trace_hazards_e2e.sh TAVRIX_SIM TVX LIBRARY SOURCE_DIR
# Exit 77 (skipped) without namespaces.
set -u
sim=$(realpath "$1")
tvx=$(realpath "$2")
library=$(realpath "$3")
source_dir=$(realpath "$4")
namespace_seconds=170

. "$(dirname "$0")/e2e_lib.sh"

store=$work/store
mkdir -p "$store"
start 127.0.0.62 --files "$store" --window 8 --block-size 512
A=127.0.0.62
# Enough frames to fill a pipe's buffer many times over.
head -c 300000 /dev/urandom >"$work/sent.bin"

# put_through FIFO NAME: tvx put under a capture into FIFO; its exit status.
put_through() {
    TAVRIX_DEBUG=1 TAVRIX_TRACE=$1 timeout -k 2 40 "$tvx" put $A "$work/sent.bin" "$2" \
        >/dev/null 2>"$work/$2.err"
}

# A reader that opens the pipe and never reads: the capture gives up on it
# after its write limit, the transfer completes and tvx exits.
mkfifo "$work/stalled"
sleep 60 <"$work/stalled" &
pids+=($!)
put_through "$work/stalled" stalled.bin
status=$?
[ "$status" -eq 0 ] || fail "tvx put with a stalled capture reader exited $status: $(tail -2 "$work/stalled.bin.err")"
cmp -s "$work/sent.bin" "$store/stalled.bin" || fail "file not stored with a stalled capture reader"
grep -q "trace capture stopped: the reader took nothing" "$work/stalled.bin.err" ||
    fail "no debug line for the stalled capture"

# A reader that leaves in the middle: no SIGPIPE, one debug line.
mkfifo "$work/leaving"
head -c 20000 "$work/leaving" >/dev/null &
pids+=($!)
put_through "$work/leaving" leaving.bin
status=$?
[ "$status" -eq 0 ] || fail "tvx put whose capture reader left exited $status (141: SIGPIPE)"
cmp -s "$work/sent.bin" "$store/leaving.bin" || fail "file not stored after the capture reader left"
[ "$(grep -c "trace capture stopped: the reader closed the pipe" "$work/leaving.bin.err")" -eq 1 ] ||
    fail "not exactly one debug line for the closed capture pipe"

# Python: a trace callback set, the controller left open, the program ends.
# Its threads end inside the callback while the interpreter shuts down; the
# unload that follows must not wait for them for ever.
# A library built with a sanitizer cannot be loaded into a plain python3
# (its runtime must come first), so that tree leaves the Python case out.
if [ -z "${TVX_SANITIZED:-}" ] && command -v python3 >/dev/null; then
    cat >"$work/leave_open.py" <<PY
import tavrix
seen = []
tavrix.set_trace(lambda e: seen.append(e.kind))
ctl = tavrix.Controller.open("$A")
for _ in range(20):
    ctl.state
print(len(seen) > 0)
PY
    out=$(PYTHONPATH=$source_dir/python TAVRIX_LIBRARY=$library timeout -k 2 20 python3 "$work/leave_open.py" 2>&1)
    status=$?
    [ "$status" -eq 0 ] || fail "python with a trace callback left open exited $status: $out"
    [ "$out" = True ] || fail "python trace callback saw no frame: $out"
fi

[ "$failures" -eq 0 ] || exit 1
echo "trace hazards end to end: passed"

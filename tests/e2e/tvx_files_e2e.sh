#!/bin/bash
# End to end over real UDP: tvx's file, log, table, exec and term commands
# against tavrix-sim, the terminal paths typed at through a pseudo-terminal.
# Runs in a private network namespace, as sim_tvx_e2e.sh does.
# Usage: tvx_files_e2e.sh TAVRIX_SIM TVX PTY_DRIVE    Exit 77 (skipped) without namespaces.
set -u
sim=$(realpath "$1")
tvx=$(realpath "$2")
drive=$(realpath "$3")
namespace_seconds=150

. "$(dirname "$0")/e2e_lib.sh"

# refute PATTERN COMMAND...: no line of the combined output matches.
refute() {
    local pattern=$1
    shift
    "$@" 2>&1 | grep -Eq -- "$pattern" && fail "$* printed a line matching '$pattern'"
}

store=$work/store
mkdir -p "$store" "$work/in" "$work/out"
printf 'seeded before start\n' >"$store/seed.txt"
# A window of 16 blocks: the simulator's socket buffer holds that many
# unacknowledged blocks even on a busy machine.
start 127.0.0.60 --files "$store" --window 16
A=127.0.0.60

# Round trips of a 1-byte and a multi-MiB random file, byte for byte.
head -c 1 /dev/urandom >"$work/in/one.bin"
head -c $((3 * 1024 * 1024 + 5)) /dev/urandom >"$work/in/big.bin"
expect 0 '^put .*one\.bin -> one\.bin: 1 bytes' "$tvx" put $A "$work/in/one.bin"
expect 0 '^put .*big\.bin -> big\.bin: 3145733 bytes' "$tvx" put $A "$work/in/big.bin" big.bin
cmp -s "$work/in/big.bin" "$store/big.bin" || fail "the store directory does not hold the sent file"
expect 0 '^big\.bin +3145733$' "$tvx" ls $A
expect 0 '^one\.bin +1$' "$tvx" ls $A
expect 0 '^seed\.txt +20$' "$tvx" ls $A
expect 0 '^get one\.bin -> .*: 1 bytes' "$tvx" get $A one.bin "$work/out/one.copy"
expect 0 '^get big\.bin -> .*: 3145733 bytes' "$tvx" get $A big.bin "$work/out"
cmp "$work/in/one.bin" "$work/out/one.copy" || fail "1-byte file changed on its round trip"
cmp "$work/in/big.bin" "$work/out/big.bin" || fail "multi-MiB file changed on its round trip"
(cd "$work/out" && "$tvx" get $A seed.txt >/dev/null) || fail "get into the current directory failed"
cmp -s "$store/seed.txt" "$work/out/seed.txt" || fail "a file seeded in the store came back different"

# Deletion, and files that are not there.
expect 0 '' "$tvx" rm $A one.bin
refute '^one\.bin ' "$tvx" ls $A
expect 0 '^big\.bin ' "$tvx" ls $A
[ -e "$store/one.bin" ] && fail "rm left the file in the store directory"
expect 1 '^tvx rm 127\.0\.0\.60 one\.bin: .+ \([0-9]+\)$' "$tvx" rm $A one.bin
expect 1 '^tvx get 127\.0\.0\.60 nothere: .+ \([0-9]+\)$' "$tvx" get $A nothere "$work/out/nothere"
[ -e "$work/out/nothere" ] && fail "a failed get left a local file"
: >"$work/in/empty"
expect 1 'is empty' "$tvx" put $A "$work/in/empty"
expect 1 'is not a readable file' "$tvx" put $A "$work/in/missing"
expect 2 'missing NAME' "$tvx" get $A

# The log, to stdout and to a file.
expect 0 'controller started' "$tvx" log $A
expect 0 '^log -> .*: [0-9]+ bytes$' "$tvx" log $A "$work/out/log.txt"
[ "$("$tvx" log $A)" = "$(cat "$work/out/log.txt")" ] || fail "log to stdout and to a file differ"

# Flash tables: written values read back exactly; shorter and longer reads.
expect 0 '^table 7: 4 values written$' "$tvx" table write $A 7 1.5 -2 0.1 3e10
[ "$("$tvx" table read $A 7 4 | tr '\n' ' ')" = "1.5 -2 0.100000001 3.0000001e+10 " ] ||
    fail "table 7 read back as '$("$tvx" table read $A 7 4 | tr '\n' ' ')'"
[ "$("$tvx" table read $A 7 100 | wc -l)" -eq 4 ] || fail "a read past the table's end did not stop at it"
[ "$("$tvx" table read $A 7 2 | tr '\n' ' ')" = "1.5 -2 " ] || fail "a short read of table 7 is wrong"
expect 1 '^tvx table read 127\.0\.0\.60 8: .+ \([0-9]+\)$' "$tvx" table read $A 8 1
expect 2 'is not a single-precision number' "$tvx" table write $A 7 1e39
expect 2 'COUNT must be' "$tvx" table read $A 7 0

# One command and its answer.
expect 0 '^3$' "$tvx" exec $A '?1+2'
expect 0 '^42$' "$tvx" exec $A PRINT 6 '*' 7
expect 2 'missing COMMAND' "$tvx" exec $A
# The interpreter's error report fails the command, the answer still shown.
expect 1 '^ERROR [0-9]+: ' "$tvx" exec $A '?1+'

# term without a terminal runs each line; 'exit' ends it.
out=$(printf '?1+2\n\nPRINT 7*6\nexit\n?9\n' | "$tvx" term $A 2>&1)
[ "$out" = "$(printf '3\n42')" ] || fail "scripted term printed '$out'"

# term on a terminal: type, edit, cancel a line with Ctrl-C, recall history
# with the arrow keys, leave with Ctrl-D. Keys go as a person types them:
# a signal key or a search key waits for what the screen showed before it,
# since the terminal drops input queued behind Ctrl-C and reads Ctrl-R as
# its own key while the line editor is between two lines.
export TVX_HISTORY=$work/history
transcript=$("$drive" --timeout 30 \
    'expect:>> ' 'send:?20+22\r' 'expect:42\r\n' \
    'expect:>> ' 'send:x?2*3\e[H\e[3~\e[C1\e[Fx\x7f\r' 'expect:36\r\n' \
    'expect:>> ' 'send:bogus' 'expect:bogus' 'send:\x03' 'expect:>> ' 'send:?1+2\r' 'expect:3\r\n' \
    'expect:>> ' 'send:\e[A\e[A\e[A\r' 'expect:42\r\n' \
    'expect:>> ' 'send:\x04' -- "$tvx" term $A)
rc=$?
[ "$rc" -eq 0 ] || fail "term on a terminal exited $rc: $transcript"
printf '%s' "$transcript" | grep -q 'ERROR' && fail "term ran a line it should have edited or cleared: $transcript"

# The history outlives the session: a new one finds the first line again by
# reverse search (Ctrl-R) and by the arrow key.
grep -q '20+22' "$TVX_HISTORY" 2>/dev/null || fail "history file $TVX_HISTORY lacks the lines typed"
grep -q 'bogus' "$TVX_HISTORY" && fail "a cancelled line entered the history"
transcript=$("$drive" --timeout 30 \
    'expect:>> ' 'send:\x12' 'expect:bck:' 'send:20+\r' 'expect:42\r\n' \
    'expect:>> ' 'send:\e[A\e[A\e[A\r' 'expect:36\r\n' \
    'expect:>> ' 'send:\x04' -- "$tvx" term $A)
rc=$?
[ "$rc" -eq 0 ] || fail "term with a saved history exited $rc: $transcript"
unset TVX_HISTORY

# Progress: a bar with percentages on a terminal, one plain line when piped.
# A slow controller with a small window makes the transfer last a while.
start 127.0.0.61 --window 4 --delay-ms 1
transcript=$("$drive" --timeout 60 -- "$tvx" put 127.0.0.61 "$work/in/big.bin")
rc=$?
[ "$rc" -eq 0 ] || fail "put on a terminal exited $rc"
printf '%s' "$transcript" | grep -Eq '\] +[1-9][0-9]?%' || fail "no progress bar on a terminal: $transcript"
[[ $transcript == *$'\r\e[Kput '* ]] || fail "the bar was not erased before the summary: $transcript"
printf '%s' "$transcript" | grep -q 'big\.bin: 3145733 bytes in' || fail "no summary after the bar: $transcript"
out=$("$tvx" put 127.0.0.61 "$work/in/big.bin" 2>&1)
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "piped put printed more than one line: $out"
case $out in *%* | *$'\r'*) fail "piped put drew a bar: $out" ;; esac

# Help of every new command, and the simulator's new options.
for c in ls get put rm log table exec term; do
    expect 0 "^usage: tvx $c " "$tvx" "$c" --help
done
expect 2 '--window needs' "$sim" --address 127.0.0.62 --window 70000
expect 2 '--block-size needs' "$sim" --address 127.0.0.62 --block-size 0

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"

#!/bin/bash
# The protocol trace end to end: a file sent with tvx under TAVRIX_TRACE
# makes a capture that tshark reads with our dissector, every block decoded
# with the bytes that were sent; tvx --trace prints one line per frame; and
# the dissector names every request code the library names, pairs requests
# with replies and flags failed ones. Runs into one file keep every run,
# discovery is traced, and the host's real address is in the datagrams.
# Usage: trace_dissector_e2e.sh TAVRIX_SIM TVX SOURCE_DIR
# Exit 77 (skipped) without namespaces or without tshark.
set -u
sim=$(realpath "$1")
tvx=$(realpath "$2")
source_dir=$(realpath "$3")
if [ "${4:-}" != "--inside" ]; then
    if ! command -v tshark >/dev/null; then
        echo "SKIP: tshark is not installed"
        exit 77
    fi
fi
namespace_seconds=150
namespace_broadcast=1

. "$(dirname "$0")/e2e_lib.sh"

dissector=$source_dir/tools/wireshark/tavrix.lua
fields() {
    tshark -X lua_script:"$dissector" -r "$capture" -Y "$1" -T fields "${@:2}" 2>/dev/null
}
# As fields, with the second pass that shows each request's reply.
fields2() {
    tshark -2 -X lua_script:"$dissector" -r "$capture" -Y "$1" -T fields "${@:2}" 2>/dev/null
}

store=$work/store
mkdir -p "$store"
start 127.0.0.61 --files "$store" --window 8 --block-size 512
A=127.0.0.61

# A file of several blocks, sent under the trace.
head -c 5000 /dev/urandom >"$work/sent.bin"
capture=$work/put.pcapng
TAVRIX_TRACE=$capture "$tvx" --trace put $A "$work/sent.bin" sent.bin 2>"$work/trace.txt" >/dev/null ||
    fail "tvx put under the trace failed: $(tail -3 "$work/trace.txt")"
cmp -s "$work/sent.bin" "$store/sent.bin" || fail "the controller did not receive the file"

# Every frame of the capture decodes as ours; none is malformed.
frames=$(tshark -r "$capture" 2>/dev/null | wc -l)
ours=$(fields 'tavrix' -e frame.number | wc -l)
[ "$frames" -gt 0 ] && [ "$frames" -eq "$ours" ] || fail "$ours of $frames frames decoded as tavrix"
[ "$(fields '_ws.malformed || _ws.expert.severity == error' -e frame.number | wc -l)" -eq 0 ] ||
    fail "malformed frames in the capture"

# The download: a start with the file's length and name, then blocks whose
# data, joined in order, are the file.
start_fields=$(fields 'tavrix.command == 209 && tavrix.block == 0 && udp.dstport == 502' \
    -e tavrix.total -e tavrix.name)
[ "$start_fields" = "5000	sent.bin" ] || fail "start packet decoded as '$start_fields'"
fields 'tavrix.command == 209 && tavrix.block != 0 && udp.dstport == 502' -e tavrix.data |
    tr -d ':\n' | xxd -r -p >"$work/decoded.bin"
cmp -s "$work/sent.bin" "$work/decoded.bin" || fail "the decoded block data differ from the file sent"
counts=$(fields 'tavrix.command == 209 && tavrix.block != 0 && udp.dstport == 502' -e tavrix.count |
    awk '{ n += $1 } END { print n }')
[ "$counts" = 5000 ] || fail "block data lengths add up to $counts"
# Requests and replies pair up by sequence, and every status is 0.
requests=$(fields 'udp.dstport == 502' -e tavrix.sequence | sort -u | wc -l)
replies=$(fields 'udp.srcport == 502' -e tavrix.sequence | sort -u | wc -l)
[ "$replies" -gt 0 ] && [ "$replies" -le "$requests" ] || fail "$replies replies to $requests requests"
[ -z "$(fields 'tavrix.status != 0' -e tavrix.status)" ] || fail "a reply with a non-zero status"

# tvx --trace: one line per frame, naming the request.
lines=$(grep -cE '^ *[0-9.]+  (->|<-)  ' "$work/trace.txt")
[ "$lines" -eq "$frames" ] || fail "tvx --trace printed $lines frame lines for $frames frames"
grep -qE -- '->  request fileDown \(209\)  seq [0-9]+  length 23$' "$work/trace.txt" ||
    fail "no decoded start line in the printed trace"

# A text command's text and answer.
capture=$work/exec.pcapng
TAVRIX_TRACE=$capture "$tvx" exec $A '?6*7' >/dev/null 2>&1 || fail "tvx exec under the trace failed"
[ "$(fields 'tavrix.command == 2' -e tavrix.text | head -1)" = '?6*7' ] || fail "command text not decoded"
fields 'tavrix.command == 4 && tavrix.answer_state == 2' -e tavrix.text | grep -q 42 ||
    fail "answer text not decoded"

# The dissector names what the library names.
while read -r name code; do
    grep -q "\[$code\] = \"$name\"" "$dissector" || fail "the dissector does not name request $code ($name)"
done < <(sed -nE 's/.*uint16_t ([A-Za-z0-9_]+) = ([0-9]+);.*/\1 \2/p' "$source_dir/src/channel/request_codes.h")

# Pairs: every reply of the transfer names its request and a response
# time, and that request names the reply back.
capture=$work/put.pcapng
unpaired=$(fields2 'udp.srcport == 502 && tavrix.function == 72 && !tavrix.request_in' -e frame.number | wc -l)
[ "$unpaired" -eq 0 ] || fail "$unpaired replies without their request"
pairs=$(fields2 'tavrix.request_in' -e frame.number -e tavrix.request_in -e tavrix.response_time)
[ -n "$pairs" ] || fail "no reply paired with its request"
while IFS=$'\t' read -r reply request time; do
    back=$(fields2 "frame.number == $request" -e tavrix.response_in)
    [ "$back" = "$reply" ] || { fail "request $request names reply '$back', not $reply"; break; }
    [[ $time =~ ^[0-9.]+$ ]] || { fail "reply $reply has response time '$time'"; break; }
done < <(printf '%s\n' "$pairs" | head -20)
# The host's real address, not 0.0.0.0, in both directions.
[ "$(fields 'udp.dstport == 502' -e ip.src | sort -u)" = 127.0.0.1 ] || fail "requests not sent from 127.0.0.1"
[ "$(fields 'udp.srcport == 502' -e ip.dst | sort -u)" = 127.0.0.1 ] || fail "replies not sent to 127.0.0.1"

# A failed request: its reply's status is flagged.
capture=$work/failed.pcapng
TAVRIX_TRACE=$capture "$tvx" get $A no-such-file.bin "$work/none.bin" >/dev/null 2>&1
flagged=$(fields 'tavrix.status != 0' -e _ws.expert.message)
[ -n "$flagged" ] || fail "no reply with a non-zero status in the failed transfer"
printf '%s\n' "$flagged" | grep -q 'Status -\?[0-9]* (the request failed)' ||
    fail "a non-zero status is not flagged: '$flagged'"

# Two runs into one file keep both (a section each); %p gives a file per
# process; discovery goes to the capture too.
capture=$work/runs.pcapng
TAVRIX_TRACE=$capture "$tvx" exec $A '?1+1' >/dev/null 2>&1 || fail "first run under the trace failed"
TAVRIX_TRACE=$capture "$tvx" exec $A '?2+2' >/dev/null 2>&1 || fail "second run under the trace failed"
texts=$(fields 'tavrix.command == 2 && tavrix.text' -e tavrix.text | sort -u | tr '\n' ' ')
[ "$texts" = "?1+1 ?2+2 " ] || fail "two runs into one file kept '$texts'"
sections=$(tshark -r "$capture" -T fields -e frame.section_number 2>/dev/null | sort -u | wc -l)
[ "$sections" -eq 2 ] || fail "$sections sections for two runs"
TAVRIX_TRACE="$work/each-%p.pcapng" "$tvx" exec $A '?3' >/dev/null 2>&1
TAVRIX_TRACE="$work/each-%p.pcapng" "$tvx" exec $A '?4' >/dev/null 2>&1
[ "$(ls "$work"/each-*.pcapng 2>/dev/null | wc -l)" -eq 2 ] || fail "%p did not give one file per process"
capture=$work/search.pcapng
TAVRIX_TRACE=$capture "$tvx" search --time 300 >/dev/null 2>&1
[ "$(fields 'tavrix.discovery && udp.dstport == 502' -e ip.dst)" = 255.255.255.255 ] ||
    fail "the discovery probe is not in the capture"
fields 'tavrix.discovery && udp.srcport == 502' -e ip.src | grep -qx "$A" ||
    fail "the controller's discovery answer is not in the capture"

[ "$failures" -eq 0 ] || exit 1
echo "trace end to end: $frames frames decoded"

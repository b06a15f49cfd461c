#!/bin/bash
# tvx lcd snapshot and tvx vision grab against tavrix-sim over real UDP, in
# a private network namespace; camera pictures from --camera.
# Usage: display_e2e.sh TAVRIX_SIM TVX      Exit 77 (skipped) without namespaces.
set -u
sim=$1
tvx=$2
namespace_seconds=100

. "$(dirname "$0")/e2e_lib.sh"

# A first simulator's camera image 0 becomes the second one's image 1.
start 127.0.0.60
expect 0 'cam0.png: 320 x 240' "$tvx" vision grab 127.0.0.60 0 "$work/cam0.png"
start 127.0.0.61 --camera "$work/cam0.png"
grep -q 'camera image 1 from' "$work/127.0.0.61.log" || fail "--camera picture not announced"
expect 0 'cam1.png: 320 x 240' "$tvx" vision grab 127.0.0.61 1 "$work/cam1.png"
cmp -s "$work/cam0.png" "$work/cam1.png" || fail "a camera picture changed on its way through the simulator"
expect 1 'vision grab 127.0.0.61' "$tvx" vision grab 127.0.0.61 7 "$work/none.png"
expect 2 'not a PNG|--camera' "$sim" --address 127.0.0.62 --camera "$0"

expect 0 'lcd.png: 800 x 480' "$tvx" lcd snapshot 127.0.0.60 "$work/lcd.png"
[ "$(head -c 8 "$work/lcd.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "lcd.png is not a PNG file"
expect 2 'usage' "$tvx" lcd snapshot 127.0.0.60
# The order of every command, ADDRESS first, and JSON for scripts.
expect 0 '^\{"file":".*lcd2.png","width":800,"height":480\}$' "$tvx" --json lcd 127.0.0.60 snapshot "$work/lcd2.png"
expect 0 'cam2.png: 320 x 240' "$tvx" vision 127.0.0.60 grab 0 "$work/cam2.png"
expect 2 'usage' "$tvx" vision grab 127.0.0.60 70000 "$work/x.png"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"

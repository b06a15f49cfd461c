#!/bin/sh
# Runs the C, C++ and Python tours against a simulated controller inside a
# private network namespace; each must print the same, expected report.
# Usage: run_examples.sh TOUR_C TOUR_CPP TAVRIX_SIM LIBRARY
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" != "--inside" ]; then
    exec "$here/../tests/net/run_isolated.sh" "$here/run_examples.sh" --inside "$@"
fi
tour_c=$2 tour_cpp=$3 sim=$4
TAVRIX_LIBRARY=$5
export TAVRIX_LIBRARY
work=$(mktemp -d)
"$sim" --address 127.0.0.21 --exit-with-parent --set version-text="EXAMPLE 1.0" --set axes=6 \
    --set inputs=1,4 2>"$work/sim.log" &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; wait $sim_pid 2>/dev/null; rm -rf "$work"' EXIT
i=0
until grep -q listening "$work/sim.log"; do
    i=$((i + 1))
    [ $i -le 50 ] || { cat "$work/sim.log"; exit 1; }
    sleep 0.1
done

# Without an address each tour finds the controller by broadcast; that works
# only inside the namespace's broadcast route.
address=
[ -n "${TVX_NET_ISOLATED:-}" ] || address=127.0.0.21

cat >"$work/expected" <<END
controller 127.0.0.21: EXAMPLE 1.0, 6 axes, state 0
inputs 0-15: 0x0012
output 3: 1
?1+2*3 -> 7
program started: state 1
END
[ -n "$address" ] || sed -i '1i found: 127.0.0.21' "$work/expected"

python=/usr/bin/python3
[ -x "$python" ] || python=python3
status=0
cd "$here"
for tour in "$tour_c" "$tour_cpp" "env PYTHONPATH=$here/../python $python $here/tour.py"; do
    # shellcheck disable=SC2086
    if ! $tour $address >"$work/out" 2>&1 || ! diff -u "$work/expected" "$work/out"; then
        echo "FAILED: $tour" >&2
        cat "$work/out" >&2
        status=1
    else
        echo "passed: $tour"
    fi
done
exit $status

#!/bin/sh
# Runs the benchmarks. The network ones bind port 502 on loopback addresses,
# so they run inside a network namespace of their own (or directly as root),
# pinned to one CPU for figures that repeat; pass --unpinned to let the
# scheduler place threads. Extra arguments go to the benchmark program;
# TVX_BENCH names another build of it.
set -eu
cd "$(dirname "$0")/.."
pin="taskset -c 0"
if [ "${1:-}" = "--unpinned" ]; then pin=""; shift; fi
bench=${TVX_BENCH:-./build/bench/tavrix_bench}
if unshare -rn true 2>/dev/null; then
    exec unshare -rn sh -c 'ip link set lo up; exec "$@"' sh $pin "$bench" "$@"
fi
exec $pin "$bench" "$@"

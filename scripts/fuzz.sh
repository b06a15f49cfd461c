#!/bin/sh
# Builds the libFuzzer targets with clang and fuzzes each, starting from the
# seeds in fuzz/seeds/ (written by `make seeds`) and the corpus kept in
# build-fuzz/corpus/.
#
#   fuzz.sh [SECONDS]             every target once for SECONDS (default 20)
#   fuzz.sh --campaign [EXECS]    rounds over all targets, each target for
#                                 FUZZ_SLOT_SECONDS (default 600) per round,
#                                 until EXECS executions (default 10^9) are done
#
# A failure stops the run with the fuzzer's report; the input that caused it
# is saved in the working directory.
set -eu
cd "$(dirname "$0")/.."
campaign=false
if [ "${1:-}" = "--campaign" ]; then
    campaign=true
    budget=${2:-1000000000}
    seconds=${FUZZ_SLOT_SECONDS:-600}
else
    seconds=${1:-20}
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTVX_BUILD_TESTS=OFF -DTVX_BUILD_BENCH=OFF -DTVX_BUILD_FUZZ=ON -DTVX_SANITIZE=address,undefined >/dev/null
targets=$(for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp; done)
# shellcheck disable=SC2086
cmake --build build-fuzz -j "$(nproc)" --target $targets
mkdir -p build-fuzz/corpus

# Runs one target for $seconds; prints its executions and adds them to $executed.
executed=0
fuzz_one() {
    name=$1
    target=build-fuzz/fuzz/$name
    mkdir -p "build-fuzz/corpus/$name"
    log="build-fuzz/$name.log"
    seeds=""
    [ -d "fuzz/seeds/$name" ] && seeds="fuzz/seeds/$name"
    # shellcheck disable=SC2086
    if ! "$target" -max_total_time="$seconds" -print_final_stats=1 "build-fuzz/corpus/$name" $seeds >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "$name found a failure (crash input saved in the working directory)" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log")
    executed=$((executed + ${runs:-0}))
    echo "$name: ${runs:-0} executions (${rate:-0}/s), ${added:-0} new units"
}

if ! $campaign; then
    for name in $targets; do
        echo "fuzzing $name for ${seconds}s"
        fuzz_one "$name"
    done
    exit 0
fi

round=0
start=$(date +%s)
while [ "$executed" -lt "$budget" ]; do
    round=$((round + 1))
    echo "round $round: ${seconds}s per target, $executed of $budget executions so far"
    for name in $targets; do
        fuzz_one "$name"
    done
done
echo "campaign: $executed executions in $(( $(date +%s) - start ))s over $round rounds"

#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for the given number
# of seconds (default 20), starting from the seeds in fuzz/seeds/ (written by
# `make seeds`). Usage: fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTVX_BUILD_TESTS=OFF -DTVX_BUILD_BENCH=OFF -DTVX_BUILD_FUZZ=ON -DTVX_SANITIZE=address,undefined >/dev/null
targets=$(for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp; done)
# shellcheck disable=SC2086
cmake --build build-fuzz -j "$(nproc)" --target $targets
mkdir -p build-fuzz/corpus
for target in build-fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    mkdir -p "build-fuzz/corpus/$name"
    echo "fuzzing $name for ${seconds}s"
    log="build-fuzz/$name.log"
    seeds=""
    [ -d "fuzz/seeds/$name" ] && seeds="fuzz/seeds/$name"
    # shellcheck disable=SC2086
    if ! "$target" -max_total_time="$seconds" -print_final_stats=1 "build-fuzz/corpus/$name" $seeds >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "$name found a failure (crash input saved in the working directory)" >&2
        exit 1
    fi
    grep -E "^stat::(number_of_executed_units|new_units_added)" "$log"
done

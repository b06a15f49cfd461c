#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for the given number
# of seconds (default 20). Usage: fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTVX_BUILD_TESTS=OFF -DTVX_BUILD_BENCH=OFF -DTVX_BUILD_FUZZ=ON -DTVX_SANITIZE=address,undefined >/dev/null
cmake --build build-fuzz -j "$(nproc)"
mkdir -p build-fuzz/corpus
for target in build-fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    mkdir -p "build-fuzz/corpus/$name"
    echo "fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -print_final_stats=1 "build-fuzz/corpus/$name" fuzz/seeds/"$name" 2>&1 | tail -n 3
done

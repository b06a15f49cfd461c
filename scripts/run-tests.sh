#!/bin/sh
# The whole suite: the Linux build, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short bounded fuzzing run.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== Linux build and suite"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Sanitizer build and suite (address, undefined)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTVX_SANITIZE=address,undefined -DTVX_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== Fuzzing (bounded)"
scripts/fuzz.sh "${TVX_FUZZ_SECONDS:-20}"

scripts/test-windows.sh

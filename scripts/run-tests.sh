#!/bin/sh
# The whole suite: the Linux build, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, a
# short bounded fuzzing run, and the Windows build under Wine.
#
# run-tests.sh --check: the edit-and-test loop instead, the Release build of
# the library and its tests and the unit and in-process suites (ctest label
# "check"), in the same build/ folder as the whole suite.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== Layer order"
scripts/check-layers.sh

# The options are given every time: build/ may have been configured by
# make demo, which leaves the tests out.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTVX_BUILD_TESTS=ON -DTVX_BUILD_BENCH=ON >/dev/null

if [ "${1:-}" = "--check" ]; then
    echo "== Release build, unit and in-process suites"
    cmake --build build -j "$jobs" --target tavrix tavrix_tests tavrix_alloc_tests
    ctest --test-dir build --output-on-failure -j "$jobs" -L check
    exit 0
fi

echo "== Linux build and suite (optimised Release)"
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Sanitizer build and suite (address, undefined)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTVX_SANITIZE=address,undefined -DTVX_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$PWD/tests/sanitizers/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer (unit and network suites)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVX_SANITIZE=thread -DTVX_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target tavrix_tests tavrix_net_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/tests/tavrix_tests --gtest_brief=1
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" tests/net/run_isolated.sh build-tsan/tests/tavrix_net_tests --gtest_brief=1

echo "== Fuzzing (bounded)"
scripts/fuzz.sh "${TVX_FUZZ_SECONDS:-20}"

echo "== Windows build and suite under Wine"
scripts/test-windows.sh

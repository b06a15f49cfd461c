#!/bin/sh
# Builds what the demo and the sandbox run (tvx, the simulator and the
# library) in the Release tree build/. A tree configured for the whole suite
# keeps its options; a new one leaves the tests and benchmarks out, so the
# demo needs none of their packages.
set -eu
cd "$(dirname "$0")/.."
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTVX_BUILD_TESTS=OFF -DTVX_BUILD_BENCH=OFF >/dev/null
fi
targets="tavrix tvx tavrix-sim"
# The gateway, where this tree has one.
if cmake --build build --target help 2>/dev/null | grep -q '^tavrix-gateway:'; then
    targets="$targets tavrix-gateway"
fi
# shellcheck disable=SC2086
cmake --build build -j "$(nproc)" --target $targets

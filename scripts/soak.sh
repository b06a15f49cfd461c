#!/bin/sh
# The longer form of the fault matrix (the suite runs a short one): more
# rounds of the call mix per cell. Usage: soak.sh [ROUNDS] (default 25).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target tavrix_net_tests
TVX_MATRIX_ROUNDS=${1:-25} tests/net/run_isolated.sh build/tests/tavrix_net_tests --gtest_filter='FaultMatrix*'

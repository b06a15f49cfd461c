#!/bin/sh
# The longer forms of the fault matrix and the soak (the suite runs short
# ones): more rounds of the call mix per matrix cell, a longer soak of every
# handle slot busy from four threads.
# Usage: soak.sh [ROUNDS] (default 25); SOAK_SECONDS sets the soak time
# (default 60).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTVX_BUILD_TESTS=ON >/dev/null
cmake --build build -j "$(nproc)" --target tavrix_net_tests
TVX_MATRIX_ROUNDS=${1:-25} tests/net/run_isolated.sh build/tests/tavrix_net_tests --gtest_filter='FaultMatrix*'
TVX_SOAK_SECONDS=${SOAK_SECONDS:-60} tests/net/run_isolated.sh build/tests/tavrix_net_tests --gtest_filter='Soak*'

#!/bin/sh
# The Windows stage: cross-builds tavrix.dll and the suite with MinGW-w64
# (build-win64), runs the suite under Wine, and builds the 32-bit DLL
# (build-win32) to check its export table and calling conventions.
set -eu
cd "$(dirname "$0")/.."
jobs=${TVX_JOBS:-$(nproc)}
[ "$jobs" -gt 2 ] && jobs=2
started=$(date +%s)

# A private Wine prefix per run, no display, no console noise. The server
# is started and the prefix initialised once, before ctest, so no test pays
# for it (or hangs on it).
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tavrix-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT INT TERM

echo "== Windows build (x86-64) and suite under Wine"
cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVX_BUILD_BENCH=OFF \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build build-win64 -j "$jobs"

wineserver -p
wineboot -i >/dev/null 2>&1

# A test program that cannot start under Wine exits silently with 0 and
# would simply list no tests: every one must list some.
for exe in build-win64/tests/*.exe; do
    n=$(wine "$exe" --gtest_list_tests 2>/dev/null | grep -c '^  ' || true)
    if [ "$n" -eq 0 ]; then
        echo "$exe lists no tests under Wine" >&2
        exit 1
    fi
    echo "$(basename "$exe"): $n tests"
done

status=0
ctest --test-dir build-win64 --output-on-failure -j "$jobs" --timeout 300 > build-win64/ctest.log 2>&1 || status=$?
cat build-win64/ctest.log
total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' build-win64/ctest.log)
if [ -z "$total" ] || [ "$total" -eq 0 ]; then
    echo "ctest ran no tests under Wine" >&2
    exit 1
fi

# The DLL from a Windows host against the simulated controller, which runs
# natively. Both sides meet in a private network namespace (port 502 needs
# no privilege there); Wine's server owns the sockets, so a fresh one is
# started inside.
sim=build/sim/tavrix-sim
if [ -x "$sim" ] && unshare -rn true 2>/dev/null; then
    echo "== tavrix.dll against tavrix-sim"
    wineserver -k 2>/dev/null || true
    unshare -rn sh -c '
        ip link set lo up
        "$1" --address 127.0.0.77 --no-broadcast & sim=$!
        wineserver -p
        sleep 0.3
        wine build-win64/tests/windows/host_loadlibrary.exe build-win64/tavrix.dll build-win64/tavrix.def "$2" 127.0.0.77
        rc=$?
        wineserver -k; kill $sim; exit $rc' sh "$sim" "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)" \
        || status=1
else
    echo "== tavrix-sim not built (run the Linux build first): host program against the simulator skipped"
fi

# The same host over a serial line: Wine maps COM5 to the simulator's
# pseudo-terminal through a link in the prefix's device folder.
if [ -x "$sim" ]; then
    echo "== tavrix.dll against tavrix-sim on COM5 (a pseudo-terminal)"
    "$sim" --pty "$WINEPREFIX/dosdevices/com5" --com 5 --exit-with-parent >/dev/null 2>&1 &
    serialSim=$!
    sleep 0.3
    wine build-win64/tests/windows/host_loadlibrary.exe build-win64/tavrix.dll build-win64/tavrix.def \
        "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)" COM5 || status=1
    # Wine lets go of the terminal before the simulator closes it.
    wineserver -k 2>/dev/null || true
    kill "$serialSim" 2>/dev/null
    wait "$serialSim" 2>/dev/null
fi

echo "== Windows build (i686): export table and calling conventions"
cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVX_BUILD_BENCH=OFF -DTVX_BUILD_TESTS=OFF >/dev/null
cmake --build build-win32 -j "$jobs" --target tavrix
tests/windows/check_exports_pe.sh i686-w64-mingw32-objdump build-win32/tavrix.dll include/tavrix.h \
    i686-w64-mingw32-nm build-win32/libtavrix.dll.a
# 32-bit programs do not run under this Wine (no i386 packages); linking an
# implicit host proves the import library fits the header's conventions.
i686-w64-mingw32-gcc-posix -std=c11 -Wall -Werror -Iinclude tests/windows/host_implicit.c \
    build-win32/libtavrix.dll.a -o build-win32/host_implicit.exe
echo "32-bit host links against the import library"

echo "== Windows distribution (make dist-windows): unpacked, hosts linked against it"
zip=$(scripts/dist-windows.sh | tail -n 1)
tests/windows/check_dist.sh "$zip" "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)" || status=1

echo "== Windows stage done in $(( $(date +%s) - started )) s"
exit "$status"

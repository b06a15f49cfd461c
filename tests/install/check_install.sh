#!/bin/sh
# Installs the build tree into a fresh prefix and builds programs against
# the installed tree only: through the CMake package and through pkg-config.
# Usage: check_install.sh BUILD_DIR C_COMPILER CXX_COMPILER EXPECTED_VERSION
set -eu
build=$1
cc=$2
cxx=$3
version=$4
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log"

# The library carries its major version as SONAME, with the usual links.
lib=$(find "$prefix" -name 'libtavrix.so.*.*.*' | head -n 1)
[ -n "$lib" ] || { echo "no versioned libtavrix.so.X.Y.Z installed" >&2; cat "$tmp/install.log"; exit 1; }
libdir=$(dirname "$lib")
major=${version%%.*}
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libtavrix.so.$major" ] || { echo "SONAME is '$soname', expected libtavrix.so.$major" >&2; exit 1; }
[ -L "$libdir/libtavrix.so" ] && [ -L "$libdir/libtavrix.so.$major" ] || { echo "library links missing" >&2; exit 1; }
[ -f "$prefix/include/tavrix.h" ] && [ -f "$prefix/include/tavrix.hpp" ] || { echo "headers not installed" >&2; exit 1; }
[ -x "$prefix/bin/tvx" ] && [ -f "$prefix/share/bash-completion/completions/tvx" ] || { echo "tvx or its completion not installed" >&2; exit 1; }
# The gateway with its manual page (made from its --man output) and its service unit.
[ -x "$prefix/bin/tavrix-gateway" ] && grep -q '^\.SH OPTIONS' "$prefix/share/man/man1/tavrix-gateway.1" &&
    grep -q '^ExecStart=.*tavrix-gateway --config' "$prefix/lib/systemd/system/tavrix-gateway.service" ||
    { echo "tavrix-gateway, its manual page or its service unit not installed" >&2; exit 1; }
[ -x "$prefix/bin/tavrix-sim" ] || { echo "tavrix-sim not installed" >&2; exit 1; }
[ -n "$(find "$prefix" -path '*/wireshark/plugins/tavrix.lua')" ] || { echo "the Wireshark dissector not installed" >&2; exit 1; }
[ -f "$prefix/share/man/man1/tavrix-sim.1.gz" ] || { echo "tavrix-sim(1) not installed" >&2; exit 1; }
# The section-3 pages need Doxygen at build time.
if [ -f "$build/man/man3.stamp" ]; then
    [ -f "$prefix/share/man/man3/TVX_Open.3.gz" ] && [ -f "$prefix/share/man/man3/tavrix.h.3.gz" ] ||
        { echo "section-3 manual pages not installed" >&2; exit 1; }
fi
MANWIDTH=80 man -l "$prefix/share/man/man1/tvx.1" 2>/dev/null | grep -q '^   tvx watch$' || { echo "tvx.1 not installed in man1" >&2; exit 1; }

# uses_installed PROGRAM: the program loads the installed library, not the build tree's.
uses_installed() {
    resolved=$(ldd "$1" | sed -n 's/.*libtavrix\.so[^ ]* => \([^ ]*\).*/\1/p')
    case "$resolved" in
        "$libdir"/*) ;;
        *) echo "$1 loads '$resolved', not the installed library" >&2; exit 1 ;;
    esac
}

echo "== CMake package"
cmake -S "$here" -B "$tmp/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >"$tmp/configure.log" || { cat "$tmp/configure.log"; exit 1; }
cmake --build "$tmp/cmake-build"
for program in "$tmp"/cmake-build/consumer_*; do
    uses_installed "$program"
    "$program" "$version"
done

echo "== pkg-config"
PKG_CONFIG_PATH=$libdir/pkgconfig
export PKG_CONFIG_PATH
[ "$(pkg-config --modversion tavrix)" = "${version%.*}" ] || { echo "pkg-config version $(pkg-config --modversion tavrix)" >&2; exit 1; }
# shellcheck disable=SC2046
"$cc" -std=c11 -Wall -Werror "$here/consumer.c" -o "$tmp/consumer_pc" $(pkg-config --cflags --libs tavrix)
LD_LIBRARY_PATH=$(pkg-config --variable=libdir tavrix) "$tmp/consumer_pc" "$version"
LD_LIBRARY_PATH=$(pkg-config --variable=libdir tavrix) uses_installed "$tmp/consumer_pc"

# Through the CMake package a C++ consumer gets the C++20 the target asks
# for (consumer_cpp above sets no standard); one built as C++17 by hand is
# refused by the header with a message that says what it needs, first.
echo "== C++17 refused with a clear message"
# shellcheck disable=SC2046
if "$cxx" -std=c++17 -c "$here/consumer.cpp" -o "$tmp/consumer17.o" $(pkg-config --cflags tavrix) >"$tmp/build17.log" 2>&1; then
    echo "a C++17 consumer of tavrix.hpp built" >&2
    exit 1
fi
grep -m 1 'error' "$tmp/build17.log" | grep -q 'tavrix.hpp needs C++20' ||
    { echo "the first error is not the message:" >&2; cat "$tmp/build17.log" >&2; exit 1; }
echo "installed tree usable through the CMake package and pkg-config"

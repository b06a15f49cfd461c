#!/bin/sh
# Builds the Debian packages of a build tree with CPack and checks them as a
# distribution would: lintian reports no error; libtavrix1 carries the
# library under its SONAME with a shlibs file; libtavrix-dev depends on
# exactly that libtavrix1; nothing shipped has debug sections; the manual
# pages render; and programs build and run against the unpacked -dev and
# library packages alone, through the CMake package and pkg-config.
# Usage: check_deb.sh BUILD_DIR C_COMPILER CXX_COMPILER EXPECTED_VERSION
set -eu
build=$1
cc=$2
cxx=$3
version=$4
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
major=${version%%.*}
debver=$(echo "$version" | cut -d. -f1-3)-1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -B "$tmp/deb" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; exit 1; }
arch=$(dpkg --print-architecture)
lib=$tmp/deb/libtavrix1_${debver}_$arch.deb
dev=$tmp/deb/libtavrix-dev_${debver}_$arch.deb
tools=$tmp/deb/tavrix-tools_${debver}_$arch.deb
for p in "$lib" "$dev" "$tools"; do
    [ -f "$p" ] || { ls "$tmp/deb"; echo "FAIL: $(basename "$p") was not made"; exit 1; }
done

echo "== lintian"
# Exits non-zero on an error tag, or when it cannot check the packages.
lintian --fail-on error --tag-display-limit 0 "$lib" "$dev" "$tools" >"$tmp/lintian.txt" 2>&1 || lintian_status=$?
grep -v 'root privileges' "$tmp/lintian.txt" || true
[ "${lintian_status:-0}" -eq 0 ] || fail "lintian exited ${lintian_status}"
grep -q '^E: ' "$tmp/lintian.txt" && fail "lintian reports errors"

echo "== contents and control fields"
root=$tmp/root
for p in "$lib" "$dev" "$tools"; do dpkg-deb -x "$p" "$root"; done
so=$(find "$root" -name "libtavrix.so.$major.*" -type f | head -n 1)
[ -n "$so" ] || fail "libtavrix1 holds no libtavrix.so.$major.*"
soname=$(readelf -d "$so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libtavrix.so.$major" ] || fail "SONAME is '$soname'"
dpkg-deb -c "$lib" | grep "libtavrix.so -> " >/dev/null && fail "the development link is in libtavrix1"
dpkg-deb -c "$dev" | grep "libtavrix.so -> " >/dev/null || fail "libtavrix-dev has no development link"
shlibs=$(dpkg-deb -I "$lib" shlibs)
[ "$shlibs" = "libtavrix $major libtavrix1 (>= $debver)" ] || fail "shlibs is '$shlibs'"
[ "$(dpkg-deb -I "$lib" triggers)" = "activate-noawait ldconfig" ] || fail "libtavrix1 does not trigger ldconfig"
[ "$(dpkg-deb -f "$dev" Depends)" = "libtavrix1 (= $debver)" ] || fail "libtavrix-dev depends on '$(dpkg-deb -f "$dev" Depends)'"
for field in "$(dpkg-deb -f "$lib" Depends)" "$(dpkg-deb -f "$tools" Depends)"; do
    case "$field" in *libc6*) ;; *) fail "dependencies not computed: '$field'" ;; esac
done
for f in "$root/usr/bin/tvx" "$root/usr/bin/tavrix-sim" "$so"; do
    [ -f "$f" ] || { fail "$f is missing"; continue; }
    readelf -S "$f" | grep -q '\.debug_\|\.symtab' && fail "$(basename "$f") carries debug information or symbols"
done
[ -f "$(find "$root" -name tavrix.lua | head -n 1)" ] || fail "the Wireshark dissector is missing"

echo "== manual pages"
for page in "$root/usr/share/man/man3/TVX_Open.3.gz" "$root/usr/share/man/man3/tavrix.h.3.gz" \
    "$root/usr/share/man/man1/tavrix-sim.1.gz"; do
    [ -f "$page" ] || { fail "$page is missing"; continue; }
    out=$(MANWIDTH=80 man --warnings -l "$page" 2>"$tmp/man.err") || fail "man -l $page failed"
    [ -s "$tmp/man.err" ] && fail "man -l $page: $(cat "$tmp/man.err")"
    printf '%s\n' "$out" | grep -q '^NAME' || fail "$page renders no NAME section"
done
# Every page renders without a warning from man or troff.
pages=0
for page in "$root"/usr/share/man/man*/*.gz; do
    pages=$((pages + 1))
    MANWIDTH=80 man --warnings -l "$page" >/dev/null 2>"$tmp/man.err" || fail "man -l $page failed"
    [ -s "$tmp/man.err" ] && fail "man -l $(basename "$page"): $(head -n 3 "$tmp/man.err")"
done
echo "$pages pages render"
MANWIDTH=80 man -l "$root/usr/share/man/man3/TVX_Open.3.gz" 2>/dev/null | sed -n '1,12p'

echo "== a consumer built against the unpacked packages"
cmake -S "$here" -B "$tmp/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >"$tmp/configure.log" 2>&1 || { cat "$tmp/configure.log"; exit 1; }
cmake --build "$tmp/consumer" >"$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; exit 1; }
libdir=$(dirname "$so")
for program in "$tmp"/consumer/consumer_* ; do
    LD_LIBRARY_PATH=$libdir "$program" "$version" || fail "$(basename "$program") failed"
    LD_LIBRARY_PATH=$libdir ldd "$program" | grep -q "$libdir/libtavrix.so.$major" || fail "$(basename "$program") does not load the packaged library"
done
pc=$(find "$root" -name tavrix.pc | head -n 1)
# shellcheck disable=SC2046
"$cc" -std=c11 -Wall -Werror "$here/consumer.c" -o "$tmp/consumer_pc" \
    $(PKG_CONFIG_LIBDIR=$(dirname "$pc") pkg-config --cflags --libs tavrix) || fail "pkg-config build failed"
LD_LIBRARY_PATH=$libdir "$tmp/consumer_pc" "$version" || fail "the pkg-config consumer failed"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "Debian packages: lintian without errors, consumer built against libtavrix-dev"

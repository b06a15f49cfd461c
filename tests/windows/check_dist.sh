#!/bin/sh
# Unpacks the Windows distribution and links the implicit host against each
# import library in it, for both architectures; the 64-bit hosts run under
# Wine when it is available. Usage: check_dist.sh ZIP EXPECTED_VERSION
set -eu
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
version=$2
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
unzip -q "$zip"
root=$tmp/tavrix-$version-windows
for f in include/tavrix.h include/tavrix.hpp bin/tvx.exe README.txt \
         x64/tavrix.dll x64/tavrix.lib x64/libtavrix.dll.a x64/tavrix.def \
         x86/tavrix.dll x86/tavrix.lib x86/libtavrix.dll.a x86/tavrix.def; do
    [ -f "$root/$f" ] || { echo "missing from the zip: $f" >&2; exit 1; }
done

# Shipped binaries carry no debug information; the debug zip beside the
# distribution holds it, one FILE.debug per binary.
debug_zip=${zip%.zip}-debug.zip
[ -f "$debug_zip" ] || { echo "missing: $debug_zip" >&2; exit 1; }
unzip -q "$debug_zip"
for f in bin/tvx.exe x64/tavrix.dll x86/tavrix.dll; do
    if x86_64-w64-mingw32-objdump -h "$root/$f" | grep -q '\.debug_'; then
        echo "$f in the zip carries debug information" >&2
        exit 1
    fi
    x86_64-w64-mingw32-objdump -h "$tmp/tavrix-$version-windows-debug/$f.debug" | grep -q '\.debug_info' ||
        { echo "no debug information for $f in $(basename "$debug_zip")" >&2; exit 1; }
done

status=0
for arch in x64 x86; do
    case $arch in
        x64) cc=x86_64-w64-mingw32-gcc-posix ;;
        x86) cc=i686-w64-mingw32-gcc-posix ;;
    esac
    mkdir -p "$tmp/$arch"
    cp "$root/$arch/tavrix.dll" "$tmp/$arch/"
    for lib in libtavrix.dll.a tavrix.lib; do
        exe=$tmp/$arch/host_${lib%%.*}.exe
        # On x86 a decoration that does not match the header fails right here.
        if ! "$cc" -std=c11 -Wall -Werror -I"$root/include" "$here/host_implicit.c" "$root/$arch/$lib" -o "$exe"; then
            echo "FAILED: $arch host does not link against $lib" >&2
            status=1
            continue
        fi
        if [ "$arch" = x64 ] && command -v wine >/dev/null 2>&1; then
            if wine "$exe" "$version"; then
                echo "$arch host linked against $lib runs"
            else
                echo "FAILED: $arch host linked against $lib" >&2
                status=1
            fi
        else
            echo "$arch host links against $lib"
        fi
    done
done
exit $status

#!/bin/sh
# Builds tavrix.dll for x86-64 and i686 with MinGW-w64 and packs the Windows
# distribution: dist/tavrix-VERSION-windows.zip with
#   include/      tavrix.h, tavrix.hpp
#   x64/, x86/    tavrix.dll, tavrix.def, libtavrix.dll.a (MinGW import library),
#                 tavrix.lib (MSVC import library, made from the .def)
#   bin/          tvx.exe (x86-64)
#   README.txt
# The DLLs and tvx.exe ship stripped; their debug information goes to
# dist/tavrix-VERSION-windows-debug.zip (FILE.debug next to each, found by a
# debugger through the .gnu_debuglink section the stripped file carries).
# The build folders and their options are those of scripts/test-windows.sh,
# so either script reuses what the other built.
set -eu
cd "$(dirname "$0")/.."
jobs=${TVX_JOBS:-$(nproc)}
[ "$jobs" -gt 2 ] && jobs=2

cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVX_BUILD_BENCH=OFF \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build build-win64 -j "$jobs" --target tavrix tvx
cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVX_BUILD_BENCH=OFF -DTVX_BUILD_TESTS=OFF >/dev/null
cmake --build build-win32 -j "$jobs" --target tavrix

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)
name=tavrix-$version-windows
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/$name
debug=$stage/$name-debug
mkdir -p "$root/include" "$root/bin" "$root/x64" "$root/x86" "$debug/bin" "$debug/x64" "$debug/x86"
cp include/tavrix.h include/tavrix.hpp "$root/include/"
cp build-win64/bin/tvx.exe "$root/bin/"

# split_debug FILE DEBUG_DIR OBJCOPY: moves FILE's debug information to
# DEBUG_DIR/FILE.debug and strips FILE, leaving a link to the debug file.
split_debug() {
    base=$(basename "$1")
    "$3" --only-keep-debug "$1" "$2/$base.debug"
    "$3" --strip-all "$1"
    (cd "$2" && "$3" --add-gnu-debuglink="$base.debug" "$1")
}
objcopy64=x86_64-w64-mingw32-objcopy
objcopy32=i686-w64-mingw32-objcopy
split_debug "$root/bin/tvx.exe" "$debug/bin" $objcopy64

# pack ARCH BUILD MACHINE: the DLL and its import libraries. The MSVC one
# comes from the decorated .def: on i686 its symbols keep the stdcall
# decoration (_TVX_Open@12) that MSVC-compiled callers reference, while
# --kill-at makes them import the plain names the DLL exports.
dlltool=$(command -v llvm-dlltool || command -v llvm-dlltool-14 || true)
[ -n "$dlltool" ] || { echo "llvm-dlltool is missing (Debian package llvm)" >&2; exit 1; }
pack() {
    dir=$root/$1
    cp "$2/tavrix.dll" "$2/tavrix.def" "$2/libtavrix.dll.a" "$dir/"
    "$dlltool" -m "$3" -k -d "$2/tavrix.def" -D tavrix.dll -l "$dir/tavrix.lib"
    split_debug "$dir/tavrix.dll" "$debug/$1" "$4"
}
pack x64 build-win64 i386:x86-64 $objcopy64
pack x86 build-win32 i386 $objcopy32

cat >"$root/README.txt" <<END
tavrix $version for Windows
============================

Host-side communication library for Tavrix motion controllers.

include\\tavrix.h     the C interface (every function returns a result code)
include\\tavrix.hpp   header-only C++20 layer (owning Controller, Result<T>)
x64\\, x86\\          tavrix.dll for 64-bit and 32-bit programs, with
                     tavrix.lib       import library for Microsoft Visual C++
                     libtavrix.dll.a  import library for MinGW-w64
                     tavrix.def       the export list
bin\\tvx.exe          the command-line tool (64-bit; the library is built in)

Visual C++:  cl /I include host.c x64\\tavrix.lib
MinGW-w64:   x86_64-w64-mingw32-gcc -Iinclude host.c x64\\libtavrix.dll.a

Put tavrix.dll next to your program. On 32-bit Windows the exports use
__stdcall (TVX_GetErrcodeDescription __cdecl), as declared in tavrix.h;
the DLL needs no other runtime DLL.
END
# Windows line ends for Notepad.
sed -i 's/$/\r/' "$root/README.txt"

mkdir -p dist
rm -f "dist/$name.zip" "dist/$name-debug.zip"
(cd "$stage" && zip -qr -X "$OLDPWD/dist/$name.zip" "$name" && zip -qr -X "$OLDPWD/dist/$name-debug.zip" "$name-debug")
# The last line names the distribution (scripts/test-windows.sh reads it).
echo "dist/$name-debug.zip"
echo "dist/$name.zip"

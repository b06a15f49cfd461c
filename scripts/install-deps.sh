#!/bin/sh
# Installs the Debian packages a command needs, and only those that are
# missing. Safe to run again at any time.
#   install-deps.sh demo   the build, the simulator and the demo (make demo)
#   install-deps.sh test   the above and the whole suite: sanitizers, peers,
#                          browser, Windows cross build under Wine, docs,
#                          packages (make test)
#   install-deps.sh        the same as test
set -eu

# One package per line, so that lists from several branches merge cleanly.
demo_packages="
build-essential
cmake
ninja-build
g++
pkg-config
libjpeg-dev
libgif-dev
libpng-dev
libssl-dev
libcairo2-dev
libcpp-httplib-dev
libedit-dev
libcli11-dev
nlohmann-json3-dev
libtomlplusplus-dev
libmosquitto-dev
mosquitto
mosquitto-clients
python3
python3-pymodbus
iproute2
util-linux
man-db
groff-base
"

test_packages="
clang
libclang-rt-14-dev
llvm
binutils
googletest
libgtest-dev
libgmock-dev
libbenchmark-dev
libmcrypt-dev
libmodbus-dev
python3-serial-asyncio
python3-pytest
mypy
python3-venv
socat
xxd
tshark
chromium
doxygen
dpkg-dev
fakeroot
lintian
file
zip
unzip
g++-mingw-w64-x86-64
binutils-mingw-w64-x86-64
mingw-w64-x86-64-dev
g++-mingw-w64-i686
binutils-mingw-w64-i686
mingw-w64-i686-dev
mingw-w64-tools
wine
wine64
"

case "${1:-test}" in
    demo) packages=$demo_packages ;;
    test | all) packages="$demo_packages $test_packages"
        # Node.js and npm for the browser test, unless some install of them
        # is already there (a nodejs package that bundles npm conflicts with
        # Debian's).
        command -v npm >/dev/null 2>&1 || packages="$packages nodejs npm" ;;
    *) echo "usage: $0 [demo|test]" >&2; exit 2 ;;
esac

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing

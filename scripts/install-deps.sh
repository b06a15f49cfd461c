#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need, and
# only those that are missing. Safe to run again at any time.
set -eu

packages="build-essential cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev binutils
  libjpeg-dev libgif-dev libpng-dev libssl-dev libmcrypt-dev libmodbus-dev libcairo2-dev
  libcpp-httplib-dev chromium python3-pymodbus python3-serial-asyncio
  iproute2 util-linux socat tshark xxd python3-pytest libedit-dev doxygen
  zip unzip llvm libcli11-dev nlohmann-json3-dev man-db groff-base
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev mingw-w64-tools
  wine wine64"

# Node.js and npm for the browser test, unless some install of them is
# already there (a nodejs package that bundles npm conflicts with Debian's).
command -v npm >/dev/null 2>&1 || packages="$packages nodejs npm"

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

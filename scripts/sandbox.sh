#!/bin/sh
# A shell for trying tavrix by hand: a private network namespace (port 502
# needs no privileges there and nothing leaves the machine) with three
# simulated controllers running, tvx and tavrix-sim on PATH.
#   127.0.0.21  a controller with 8 axes and its files in the sandbox folder
#   127.0.0.22  a lossy one: drops 30% of replies, duplicates 10%
#   COM3        a controller on a serial pseudo-terminal (TAVRIX_COM3 set)
# Usage: sandbox.sh [COMMAND [ARGS...]]  runs COMMAND instead of a shell.
# Leaving the shell stops the simulators and removes the sandbox folder.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_BUILD_DIR:-$here/build}
sim=$build/sim/tavrix-sim
tvx=$build/bin/tvx
PATH=$PATH:/usr/sbin:/sbin
export PATH

if [ ! -x "$sim" ] || [ ! -x "$tvx" ]; then
    echo "sandbox: $sim or $tvx is missing; run 'make sandbox' (it builds them)" >&2
    exit 1
fi

if [ "${TVX_SANDBOX_INSIDE:-}" != 1 ]; then
    if ! unshare -rn true 2>/dev/null; then
        echo "sandbox: needs 'unshare -rn' (user and network namespaces)" >&2
        exit 1
    fi
    TVX_SANDBOX_INSIDE=1 exec unshare -rn "$0" "$@"
fi
unset TVX_SANDBOX_INSIDE

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrix-sandbox.XXXXXX")
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    for pid in $pids; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

ip link set lo up
# Discovery broadcasts go to lo and stay in this namespace.
ip route add broadcast 255.255.255.255 dev lo table local

mkdir -p "$work/bin" "$work/logs" "$work/files"
ln -s "$tvx" "$work/bin/tvx"
ln -s "$sim" "$work/bin/tavrix-sim"

logs=$work/logs
. "$here/scripts/sim_lib.sh"
sim_start 127.0.0.21 listening --address 127.0.0.21 --files "$work/files"
sim_start 127.0.0.22 listening --address 127.0.0.22 --drop-replies 30% --duplicate 10%
sim_start com3 '^TAVRIX_COM3=' --pty "$work/com3" --com 3

TAVRIX_COM3=$work/com3
PATH=$work/bin:$PATH
TVX_SANDBOX=$work
export TAVRIX_COM3 PATH TVX_SANDBOX

if [ $# -gt 0 ]; then
    "$@"
    exit $?
fi

cat <<INFO
tavrix sandbox: a private network with three simulated controllers.
  127.0.0.21  8 axes; its files are in $work/files
  127.0.0.22  lossy: drops 30% of its replies, duplicates 10%
  COM3        serial, on a pseudo-terminal (TAVRIX_COM3=$TAVRIX_COM3)
tvx and tavrix-sim are on PATH; the simulators' logs are in $work/logs.
Try: tvx search; tvx info COM3; tvx term 127.0.0.21; tvx watch 127.0.0.21 'DPOS(0)' --time 3000
     tavrix-sim --address 127.0.0.30 --silent &   (start more; any 127.x address)
Nothing here is reachable from outside, browsers included. 'exit' stops the
simulators and removes $work.
INFO

status=0
if command -v bash >/dev/null 2>&1; then
    printf '[ -f ~/.bashrc ] && . ~/.bashrc\nPS1="(tavrix-sandbox) \\w\\$ "\n' >"$work/bashrc"
    bash --rcfile "$work/bashrc" -i || status=$?
else
    PS1='(tavrix-sandbox) $ ' sh -i || status=$?
fi
exit $status

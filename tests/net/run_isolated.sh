#!/bin/sh
# Runs a network test program inside a user and network namespace of its
# own (loopback only, with a broadcast route) so that its traffic, discovery
# broadcasts included, never leaves this process tree. Falls back to running
# directly as root without the broadcast tests when namespaces are
# unavailable. Usage: run_isolated.sh PROGRAM [ARGS...]
set -eu
if unshare -rn true 2>/dev/null; then
    exec unshare -rn sh -c '
        ip link set lo up
        ip route add broadcast 255.255.255.255 dev lo table local 2>/dev/null || true
        TVX_NET_ISOLATED=1 exec "$@"' sh "$@"
fi
if [ "$(id -u)" -eq 0 ]; then
    echo "network namespaces unavailable: running without broadcast tests" >&2
    exec "$@"
fi
echo "network tests need a network namespace (unshare -rn) or root to bind port 502" >&2
exit 1

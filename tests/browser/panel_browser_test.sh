#!/bin/bash
# The operator panel in a real browser: tavrix-sim on a loopback address in
# a private network namespace, tvx panel serving it, Chromium (Debian's)
# driven by Playwright opening the page with its token, clicking a button of
# the screen, holding a key while the page loses focus, and killing and
# restarting the simulator; screenshots are left in OUT_DIR.
# Usage: panel_browser_test.sh TAVRIX_SIM TVX OUT_DIR
# Exit 77 (skipped) without namespaces, Node.js or Chromium.
set -u
sim=$1
tvx=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)
if [ "${4:-}" != "--inside" ]; then
    for tool in node npm; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
    done
    [ -x "${TVX_CHROMIUM:-/usr/bin/chromium}" ] || { echo "SKIP: no Chromium at /usr/bin/chromium"; exit 77; }
    "$here/../../scripts/install-browser-test-deps.sh" || { echo "FAIL: npm packages of the browser test"; exit 1; }
    mkdir -p "$out"
fi
namespace_seconds=200

. "$here/../e2e/e2e_lib.sh"

start 127.0.0.70
"$tvx" panel 127.0.0.70 --listen 127.0.0.1:8090 >"$work/panel.log" 2>&1 &
pids+=($!)
wait_for "$work/panel.log" 'http://' || { cat "$work/panel.log"; echo "FAIL: tvx panel did not start"; exit 1; }

# Listening anywhere but loopback needs the explicit flag.
expect 2 'allow-remote' "$tvx" panel 127.0.0.70 --listen 0.0.0.0:8091

url=$(grep -o 'http://[^ ]*' "$work/panel.log")
case "$url" in *'?token='????????????????????????????????) ;; *) fail "tvx panel printed no URL with a token: $url" ;; esac

mkdir -p "$work/profile"
node "$here/panel_test.mjs" "$url" "$out" "$work/profile" "$sim" 127.0.0.70 "${pids[0]}" ||
    fail "the browser did not see the panel work"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"

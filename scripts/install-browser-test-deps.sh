#!/bin/sh
# Installs the npm packages of the browser test (playwright-core, driving the
# system's Chromium: no browser is downloaded) from the committed lockfile,
# unless they are there already. Safe to run again at any time.
set -eu
cd "$(dirname "$0")/../tests/browser"
if [ -f node_modules/playwright-core/package.json ] &&
   cmp -s package-lock.json node_modules/.package-lock.json 2>/dev/null; then
    exit 0
fi
npm ci --no-audit --no-fund --ignore-scripts --loglevel=error

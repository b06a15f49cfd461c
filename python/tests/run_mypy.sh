#!/bin/sh
# Checks the package's type hints with mypy --strict. Usage:
#   run_mypy.sh CACHE_DIR
# Exit 77 (skipped) when no python3 with mypy is installed (Debian: mypy).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cache=${1:-${TMPDIR:-/tmp}/tavrix-mypy-cache}
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import mypy' 2>/dev/null; then
        cd "$here/.."
        "$candidate" -m mypy --version
        exec "$candidate" -m mypy --strict --cache-dir "$cache" tavrix
    fi
done
echo "no python3 with mypy (install mypy)" >&2
exit 77

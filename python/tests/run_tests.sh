#!/bin/sh
# Runs the Python package's tests against a built library and tavrix-sim,
# inside a private network namespace. Usage:
#   run_tests.sh LIBRARY TAVRIX_SIM EXPECTED_VERSION HEADER [PYTEST ARGS...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
TAVRIX_LIBRARY=$1 TAVRIX_SIM=$2 TAVRIX_EXPECTED_VERSION=$3 TAVRIX_HEADER=$4
export TAVRIX_LIBRARY TAVRIX_SIM TAVRIX_EXPECTED_VERSION TAVRIX_HEADER
shift 4
# Debian's python3 carries python3-pytest; another python3 first on PATH may not.
python=
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import pytest' 2>/dev/null; then python=$candidate; break; fi
done
if [ -z "$python" ]; then
    echo "no python3 with pytest (install python3-pytest)" >&2
    exit 77
fi
PYTHONPATH=$here/..${PYTHONPATH:+:$PYTHONPATH} PYTHONDONTWRITEBYTECODE=1
export PYTHONPATH PYTHONDONTWRITEBYTECODE
exec "$here/../../tests/net/run_isolated.sh" "$python" -m pytest -q -p no:cacheprovider "$here" "$@"

#!/bin/sh
# Compares the dynamic symbols a shared library exports with the functions
# its public header declares. Usage: check_exports.sh LIBRARY HEADER
set -eu
lib=$1
header=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
nm -D --defined-only "$lib" | awk '$2 ~ /^[TW]$/ {print $3}' | sort -u > "$tmp/exported"
# Every declaration reads "TVX_API <type> <convention> <name>(".
grep -v '^[[:space:]]*#' "$header" | tr '\n' ' ' | grep -oE 'TVX_API[^;(]*\(' | sed -E 's/.*[ *]([A-Za-z_][A-Za-z0-9_]*)\($/\1/' | sort -u > "$tmp/declared"
if ! diff -u "$tmp/declared" "$tmp/exported"; then
    echo "exported symbols differ from the header's declarations (- declared only, + exported only)" >&2
    exit 1
fi
echo "$(wc -l < "$tmp/declared") exports match the header"

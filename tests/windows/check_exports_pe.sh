#!/bin/sh
# Compares the export table of tavrix.dll with the functions its public
# header declares (plus the three component-server entry points), and checks
# that every name is plain (no @<bytes> or leading underscore).
# With NM and the import library, also checks each function's calling
# convention where it shows in the names (32-bit): __stdcall for TVX_STDCALL
# declarations, __cdecl for TVX_CDECL ones.
# Usage: check_exports_pe.sh OBJDUMP DLL HEADER [NM IMPORT_LIBRARY]
set -eu
objdump=$1
dll=$2
header=$3
nm=${4:-}
implib=${5:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The export name table: "[ordinal] name" lines after "[Ordinal/Name Pointer] Table".
"$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^[ \t]*\[/ {print $NF; next} t && NF==0 {t=0}' \
    | sort -u > "$tmp/exported"
grep -v '^[[:space:]]*#' "$header" | tr '\n' ' ' | grep -oE 'TVX_API[^;(]*\(' | sed -E 's/.*[ *]([A-Za-z_][A-Za-z0-9_]*)\($/\1/' > "$tmp/declared"
printf '%s\n' DllGetClassObject DllCanUnloadNow DllRegisterServer >> "$tmp/declared"
sort -u -o "$tmp/declared" "$tmp/declared"
if [ ! -s "$tmp/exported" ]; then
    echo "no export table found in $dll" >&2
    exit 1
fi
if ! diff -u "$tmp/declared" "$tmp/exported"; then
    echo "exports differ from the header's declarations (- declared only, + exported only)" >&2
    exit 1
fi
echo "$(wc -l < "$tmp/exported") plain exports match the header"

[ -n "$implib" ] || exit 0
"$nm" "$implib" | awk '$2 == "I" && $3 ~ /^__imp_/ {print $3}' > "$tmp/imports"
# On 64-bit there is one convention and the names carry no decoration.
grep -q '^__imp__' "$tmp/imports" || { echo "no decorated names (64-bit): conventions not visible"; exit 0; }
grep -v '^[[:space:]]*#' "$header" | tr '\n' ' ' | grep -oE 'TVX_API[^;(]*\(' | while read -r decl; do
    name=$(echo "$decl" | sed -E 's/.*[ *]([A-Za-z_][A-Za-z0-9_]*)\($/\1/')
    case "$decl" in
    *TVX_STDCALL*) grep -qE "^__imp__${name}@[0-9]+\$" "$tmp/imports" || { echo "$name is not __stdcall" >&2; echo x; } ;;
    *TVX_CDECL*) grep -qE "^__imp__${name}\$" "$tmp/imports" || { echo "$name is not __cdecl" >&2; echo x; } ;;
    *) echo "$name declares no calling convention" >&2; echo x ;;
    esac
done > "$tmp/wrong"
if [ -s "$tmp/wrong" ]; then exit 1; fi
echo "calling conventions match the header's declarations"

#!/bin/bash
# tvx --version, --json on the data commands (each output parsed as JSON and
# its values checked) and the bash completion script, against tavrix-sim in
# a private network namespace.
# Usage: tvx_json_e2e.sh TAVRIX_SIM TVX VERSION     Exit 77 (skipped) without namespaces.
set -u
sim=$1
tvx=$2
version=$3
here=$(cd "$(dirname "$0")" && pwd)
namespace_seconds=100
namespace_broadcast=1

real_tvx=$tvx
. "$here/e2e_lib.sh"
completion=$work/tvx-completion.bash

# json_check COMMAND... -- PYTHON_EXPRESSION: the output is one JSON document
# per line and the expression over the last one (d) holds.
json_check() {
    local args=() out
    while [ "$1" != "--" ]; do args+=("$1"); shift; done
    out=$("$tvx" --json "${args[@]}" 2>&1) || { fail "tvx --json ${args[*]} failed: $out"; return; }
    printf '%s\n' "$out" | python3 -c '
import json, sys
docs = [json.loads(line) for line in sys.stdin]
d = docs[-1]
assert len(docs) == 1, docs
assert eval(sys.argv[1]), d' "$2" || fail "tvx --json ${args[*]}: $out does not satisfy $2"
}

start 127.0.0.60 --set axes=6 --set 'version-text=JSON "1"' --set inputs=0,2 --set ain.4=2.5

expect 0 "^tvx $version\$" "$real_tvx" --version
expect 0 "^library $version\$" "$real_tvx" --version

json_check search --time 300 -- 'd == {"controllers": ["127.0.0.60"]}'
json_check info 127.0.0.60 -- 'd["axes"] == 6 and d["state"] == 0 and d["softVersion"]["text"] == "JSON \"1\"" and d["systemRecord"]["axisCount"] == 6 and len(d["systemRecord"]["bytes"]) == 120'
json_check io 127.0.0.60 in 0-3 -- 'd == {"kind": "in", "first": 0, "last": 3, "values": [1, 0, 1, 0]}'
json_check io 127.0.0.60 in 2 -- 'd["values"] == [1]'
json_check io 127.0.0.60 set 3 1 5 0 -- 'd == {"set": [{"out": 3, "value": 1}, {"out": 5, "value": 0}]}'
json_check io 127.0.0.60 get 2 4 -- 'd == {"first": 2, "last": 4, "in": [1, 0, 0], "out": [0, 1, 0]}'
json_check io 127.0.0.60 ain 4 -- 'd == {"kind": "ain", "channel": 4, "value": 2.5}'
printf 'PRINT 1\n' >"$work/ONE.BAS"
"$tvx" put 127.0.0.60 "$work/ONE.BAS" >/dev/null || fail "put failed"
json_check ls 127.0.0.60 -- '{"name": "ONE.BAS", "size": 8} in d["files"] and "error" not in d'
json_check modbus 127.0.0.60 write regs 10 3 7 -1 3 -- 'd == {"area": "regs", "start": 10, "values": [7, 65535, 3]}'
json_check modbus 127.0.0.60 read coils 0 3 -- 'd == {"area": "coils", "start": 0, "values": [0, 0, 0]}'
json_check reg 127.0.0.60 VR 2 2 1.5 -3 -- 'd == {"area": "VR", "start": 2, "values": [1.5, -3]}'
json_check var 127.0.0.60 'VR(3)' -- 'd == {"name": "VR(3)", "value": -3}'
json_check array 127.0.0.60 write TABLE 0 2 0.1 2 -- 'd == {"name": "TABLE", "start": 0, "written": 2}'
json_check array 127.0.0.60 read TABLE 0 2 -- 'd == {"name": "TABLE", "start": 0, "values": [0.100000001, 2]}'
json_check table 127.0.0.60 write 7 1.5 -2 -- 'd == {"table": 7, "written": 2}'
json_check table read 127.0.0.60 7 2 -- 'd == {"table": 7, "values": [1.5, -2]}'
json_check exec 127.0.0.60 '?1+2' -- 'd == {"answer": "3\r\n", "error": False} or d == {"answer": "3\n", "error": False}'
json_check stop 127.0.0.60 -- 'd == {"state": 0, "name": "stopped"}'
json_check store 127.0.0.60 ls -- 'd == {"files": []}'
json_check log 127.0.0.60 -- 'isinstance(d["log"], str)'
# Local files: a library's global declarations, and an archive of a project
# that holds a program and that library.
printf 'GLOBAL a\r\nprint 1\n  global b, c\n' >"$work/lib.bas"
"$tvx" lib make "$work/lib.bas" "$work/lib.nlb" >/dev/null || fail "lib make failed"
json_check lib globals "$work/lib.nlb" -- 'd == {"kind": "BASIC", "globals": ["GLOBAL a", "global b, c"]}'
printf '[Controller]\nFiles=2\n[FileList]\nFile1=ONE.BAS\nAutoRun1=0\nFile2=lib.nlb\n' >"$work/demo.npj"
"$tvx" nar build "$work/demo.npj" "$work/demo.nar" >/dev/null || fail "nar build failed"
json_check nar inspect "$work/demo.nar" -- 'd["form"] == "enciphered" and d["length"] == d["fileBytes"] == 256 and d["version"] == 1 and d["password"] is False and [(m["name"], m["type"], m["typeName"], m["task"], m["hashOk"]) for m in d["members"]] == [("ONE.BAS", 1, "BASIC", 0, True), ("lib.nlb", 2, "BASIC library", None, True)] and all(m["slot"] % 4 == 0 and isinstance(m["hash"], int) for m in d["members"]) and "fault" not in d'
# A damaged archive still gives its document, with the fault, and status 1.
cp "$work/demo.nar" "$work/bad.nar"
printf '\125' | dd of="$work/bad.nar" bs=1 seek=200 conv=notrunc 2>/dev/null
out=$("$tvx" --json nar inspect "$work/bad.nar" 2>/dev/null)
rc=$?
[ "$rc" -eq 1 ] || fail "tvx --json nar inspect of a damaged archive exited $rc"
printf '%s\n' "$out" | python3 -c '
import json, sys
d = json.loads(sys.stdin.read())
assert d["fault"] == "member hash does not match", d
assert [m["hashOk"] for m in d["members"]].count(False) == 1, d' || fail "damaged archive as JSON: $out"
# The global options may also follow the command.
expect 0 '^\{"kind":"in","first":2,"last":2,"values":\[1\]\}$' "$tvx" io 127.0.0.60 in 2 --json --timeout 2000
# Commands that print no data refuse --json before opening anything.
for args in "rm 127.0.0.60 X" "put 127.0.0.60 $work/ONE.BAS" "lock 127.0.0.60" "messages 127.0.0.60" "store 127.0.0.60 rm X" \
    "lib make $work/lib.bas $work/x.nlb" "nar build $work/demo.npj $work/x.nar" "nar 127.0.0.60 run $work/demo.nar"; do
    # shellcheck disable=SC2086
    expect 2 'prints no data' "$tvx" --json $args
done
# Errors stay one line on standard error with status 1, whatever the format.
expect 1 '^tvx ' "$tvx" --json info 127.0.0.69

# Completion, written by tvx from its declarations as the build writes it:
# command names, options, the actions after ADDRESS, files only where an
# argument names a local file.
"$real_tvx" --completion-script "$completion" || fail "tvx --completion-script failed"
complete_words() {
    (cd "$work/pics" && bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tvx; echo "${COMPREPLY[*]}"' sh "$completion" "$@")
}
mkdir "$work/pics" && touch "$work/pics/a.png" "$work/pics/b.csv"
while IFS='|' read -r expected words; do
    # shellcheck disable=SC2086
    got=$(complete_words "$real_tvx" $words '')
    [ "$got" = "$expected" ] || fail "completion of '$words': '$got', expected '$expected'"
done <<'CASES'
|store
|modbus
|firmware
|lcd
|vision
|array
ls put get rm ram|store 127.0.0.60
check flash|firmware 127.0.0.60
read write|array 127.0.0.60
coils regs|modbus 127.0.0.60 read
a.png b.csv|lcd 127.0.0.60 snapshot
a.png b.csv|watch 127.0.0.60 TICKS --csv
|watch 127.0.0.60 TICKS --cycle
CASES
[ "$(complete_words "$real_tvx" i)" = "info io" ] || fail "completion of 'i': '$(complete_words "$real_tvx" i)'"
[ "$(complete_words "$real_tvx" --ti)" = "--timeout" ] || fail "completion of '--ti'"
[ "$(complete_words "$real_tvx" --timeout 300 io 127.0.0.60 se)" = "set setall" ] || fail "completion of io actions"
[ "$(complete_words "$real_tvx" watch 127.0.0.60 X --c)" = "--cycle --count --csv" ] || fail "completion of watch options"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"

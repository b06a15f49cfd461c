#!/bin/bash
# The manual page tvx(1) that the build writes: every command tvx lists has
# its section, and man renders the page without a warning.
# Usage: tvx_man_test.sh TVX MAN_PAGE
set -u
tvx=$1
page=$2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

[ -s "$page" ] || { echo "FAIL: no manual page at $page"; exit 1; }
commands=$("$tvx" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
[ "$(printf '%s\n' "$commands" | wc -l)" -gt 20 ] || fail "tvx --help lists too few commands: $commands"

rendered=$(MANWIDTH=100 man -l "$page" 2>/dev/null) || fail "man -l $page failed"
warnings=$(MANWIDTH=100 man -l --warnings=all "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man warns: $warnings"
for c in $commands; do
    grep -q "^\.SS tvx $c\$" "$page" || fail "no section for '$c' in the page"
    # The section heading and its synopsis line as rendered.
    printf '%s\n' "$rendered" | grep -q "^   tvx $c\$" || fail "'tvx $c' is not a rendered section"
    printf '%s\n' "$rendered" | grep -Eq "^       tvx $c( |\$)" || fail "no rendered synopsis for '$c'"
done
for heading in NAME SYNOPSIS OPTIONS COMMANDS 'EXIT STATUS'; do
    printf '%s\n' "$rendered" | grep -q "^$heading\$" || fail "no $heading in the rendered page"
done
# A page written again is the same page: nothing in it depends on the run.
"$tvx" --man - | cmp -s - "$page" || fail "tvx --man differs from the page the build wrote"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"

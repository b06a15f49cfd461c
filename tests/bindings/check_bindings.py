#!/usr/bin/env python3
"""Compares the exports of include/tavrix.h with what each binding calls:
every export is bound, or listed with its reason in unbound_exports.txt,
and nothing listed there is bound. One function per binding returns the
export names it calls.

Usage: check_bindings.py [BINDING...]   (default: every binding)"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
HEADER = ROOT / "include/tavrix.h"
UNBOUND = pathlib.Path(__file__).resolve().parent / "unbound_exports.txt"


def without_comments(text):
    """C/C++ source without its comments (string literals kept)."""
    return re.sub(r'//[^\n]*|/\*.*?\*/|("(?:[^"\\]|\\.)*")', lambda m: m.group(1) or " ", text, flags=re.S)


def header_exports():
    text = " ".join(line for line in HEADER.read_text().splitlines() if not line.lstrip().startswith("#"))
    return set(re.findall(r"TVX_API[^;(]*?[ *]([A-Za-z_]\w*)\(", text))


def unbound_exports():
    """Name -> reason; a line without a reason is an error."""
    listed = {}
    for number, line in enumerate(UNBOUND.read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        name, _, reason = line.strip().partition(" ")
        if not reason.strip():
            sys.exit(f"{UNBOUND.name}:{number}: {name} has no reason")
        listed[name] = reason.strip()
    return listed


def cpp_bound():
    """The exports include/tavrix.hpp calls."""
    text = without_comments((ROOT / "include/tavrix.hpp").read_text())
    # Called, or passed on as a function (query(TVX_GetState)): every mention counts.
    return set(re.findall(r"\b(TVX_\w+|strupr|strlwr)\b", text))


BINDINGS = {"cpp": cpp_bound}


def check(name, bound, exports, listed):
    problems = []
    for export in sorted(exports - bound - listed.keys()):
        problems.append(f"{name}: {export} is neither bound nor listed in {UNBOUND.name}")
    for export in sorted((bound & listed.keys()) & exports):
        problems.append(f"{name}: {export} is bound but listed in {UNBOUND.name} as left out")
    return problems


def main():
    exports = header_exports()
    listed = unbound_exports()
    problems = [f"{UNBOUND.name}: {n} is not an export of tavrix.h" for n in sorted(listed.keys() - exports)]
    names = sys.argv[1:] or sorted(BINDINGS)
    for name in names:
        if name not in BINDINGS:
            sys.exit(f"unknown binding {name}; known: {', '.join(sorted(BINDINGS))}")
        problems += check(name, BINDINGS[name]() & exports, exports, listed)
    for p in problems:
        print(p, file=sys.stderr)
    if problems:
        return 1
    print(f"{len(exports)} exports: {len(listed)} left out with a reason, the rest bound by {', '.join(names)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

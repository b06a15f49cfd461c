#!/usr/bin/env python3
"""Writes the result-code constants of include/tavrix.h and
python/tavrix/_codes.py from src/base/result_codes.def, the one table of
codes and texts. With --check nothing is written: the exit status is 1 when
either file differs from what the table gives (a test runs it so)."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
TABLE = ROOT / "src/base/result_codes.def"
HEADER = ROOT / "include/tavrix.h"
PYTHON = ROOT / "python/tavrix/_codes.py"
BEGIN = "/* Result-code constants, written by scripts/gen_result_codes.py from"
END = "/* End of the result-code constants. */"
TOKEN = re.compile(r'"(?:[^"\\]|\\.)*"|[^,\s]+')


def rows():
    """The table's rows as (kind, [arguments]), strings unquoted."""
    for number, line in enumerate(TABLE.read_text().splitlines(), 1):
        m = re.match(r"^(TVX_RESULT\w*)\((.*)\)\s*$", line)
        if not m:
            continue
        args = []
        for token in TOKEN.findall(m.group(2)):
            if token.startswith('"'):
                args.append(token[1:-1])
            elif re.fullmatch(r"-?\d+", token):
                args.append(int(token))
            else:
                args.append(token)
        yield m.group(1), args, number


def constants():
    """Groups of (public name, value, note), headed by a comment or None."""
    groups = [[None, []]]
    for kind, a, _ in rows():
        if kind == "TVX_RESULT_GROUP":
            groups.append([a[0], []])
        elif kind == "TVX_RESULT":
            groups[-1][1].append(("TVX_" + a[0], a[2], a[5]))
        elif kind == "TVX_RESULT_CONSTANT":
            groups[-1][1].append(("TVX_" + a[0], a[2], a[3]))
        elif kind == "TVX_RESULT_RANGE":
            groups[-1][1].append(("TVX_" + a[0] + "_FIRST", a[1], a[4]))
            groups[-1][1].append(("TVX_" + a[0] + "_LAST", a[2], ""))
    return groups


def header_block():
    out = [BEGIN, " * src/base/result_codes.def; change codes and texts there. */"]
    for heading, items in constants():
        if not items:
            continue
        if heading:
            out += ["", f"/* {heading} */"]
        width = max(len(f"#define {n} {v}") for n, v, _ in items)
        for name, value, note in items:
            line = f"#define {name} {value}"
            out.append(f"{line:<{width}} /* {note} */" if note else line)
    out.append(END)
    return "\n".join(out) + "\n"


def python_module():
    out = ['"""Result codes of the library, written by scripts/gen_result_codes.py',
           'from src/base/result_codes.def; change codes there."""', ""]
    for _, items in constants():
        for name, value, _ in items:
            out.append(f"{name[len('TVX_'):]} = {value}")
    return "\n".join(out) + "\n"


def header_with_block(text):
    start = text.index(BEGIN)
    end = text.index(END) + len(END) + 1
    return text[:start] + header_block() + text[end:]


def main():
    check = "--check" in sys.argv[1:]
    wanted = {HEADER: header_with_block(HEADER.read_text()), PYTHON: python_module()}
    stale = []
    for path, text in wanted.items():
        current = path.read_text() if path.exists() else None
        if current == text:
            continue
        stale.append(path)
        if not check:
            path.write_text(text)
    if check and stale:
        for path in stale:
            print(f"{path.relative_to(ROOT)} differs from src/base/result_codes.def;"
                  " run scripts/gen_result_codes.py", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

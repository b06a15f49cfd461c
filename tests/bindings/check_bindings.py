#!/usr/bin/env python3
"""Checks that the language bindings cover the library: every export that
include/tavrix.h declares is either used by each binding or listed, with its
reason, in unbound_exports.txt, and no binding uses an export the header does
not declare or one the list leaves out.

Usage: check_bindings.py [SOURCE_ROOT]

Each binding is one function below that returns the exports it uses; add a
binding by adding its function to BINDINGS.
"""
import ast
import re
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
EXPORT = re.compile(r"^TVX_API\b[^(;]*?\b(\w+)\s*\(", re.MULTILINE)
LIST_LINE = re.compile(r"^(\w+)  (\S.*)$")


def header_exports(root):
    """Names of the functions include/tavrix.h exports."""
    return set(EXPORT.findall((root / "include" / "tavrix.h").read_text()))


def header_arities(root):
    """Export name -> number of parameters, from the declarations of
    include/tavrix.h (callback types hold no commas of their own there)."""
    text = (root / "include" / "tavrix.h").read_text()
    arities = {}
    for found in re.finditer(r"^TVX_API\b[^(;]*?\b(\w+)\s*\(([^;]*?)\)\s*;", text, re.MULTILINE | re.DOTALL):
        parameters = found.group(2).strip()
        arities[found.group(1)] = 0 if parameters in ("", "void") else parameters.count(",") + 1
    return arities


def unbound_exports(path):
    """The list of exports left out on purpose: name -> reason. Raises
    ValueError for a malformed or repeated line."""
    listed = {}
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        found = LIST_LINE.match(line)
        if not found:
            raise ValueError(f"{path.name}:{number}: expected 'NAME  reason', got {line!r}")
        name, reason = found.groups()
        if name in listed:
            raise ValueError(f"{path.name}:{number}: {name} is listed twice")
        listed[name] = reason
    return listed


def python_binding(root):
    """The exports the Python package declares a ctypes prototype for (the
    PROTOTYPES table of python/tavrix/_library.py). A prototype that no other
    module of the package names is reported: declared but not reachable."""
    package = root / "python" / "tavrix"
    tree = ast.parse((package / "_library.py").read_text())
    declared = {}  # name -> number of argument types
    for node in ast.walk(tree):
        target = node.target if isinstance(node, ast.AnnAssign) else (
            node.targets[0] if isinstance(node, ast.Assign) and len(node.targets) == 1 else None)
        if isinstance(target, ast.Name) and target.id == "PROTOTYPES" and isinstance(node.value, ast.Dict):
            for key, value in zip(node.value.keys, node.value.values):
                if isinstance(key, ast.Constant) and isinstance(value, ast.Tuple) and isinstance(value.elts[1], ast.List):
                    declared[key.value] = len(value.elts[1].elts)
    if not declared:
        raise ValueError("python/tavrix/_library.py: no PROTOTYPES table found")
    used = "\n".join(p.read_text() for p in package.glob("*.py") if p.name != "_library.py")
    notes = [f"{name} has a prototype but no function of the package calls it"
             for name in sorted(declared) if not re.search(rf"\b{name}\b", used)]
    arities = header_arities(root)
    notes += [f"{name} takes {arities[name]} arguments in tavrix.h, its prototype {count}"
              for name, count in sorted(declared.items()) if name in arities and arities[name] != count]
    return set(declared), notes


def without_comments(text):
    """C/C++ source without its comments (string literals kept)."""
    return re.sub(r'//[^\n]*|/\*.*?\*/|("(?:[^"\\]|\\.)*")', lambda m: m.group(1) or " ", text, flags=re.S)


def cpp_binding(root):
    """The exports include/tavrix.hpp mentions: called, or passed on as a
    function (query(TVX_GetState)); every mention outside comments counts."""
    text = without_comments((root / "include" / "tavrix.hpp").read_text())
    return set(re.findall(r"\b(TVX_\w+|strupr|strlwr)\b", text)) & header_exports(root), []


BINDINGS = {
    "Python (python/tavrix)": python_binding,
    "C++ (include/tavrix.hpp)": cpp_binding,
}


def check(root):
    """The problems found, as lines of text (none when all is well)."""
    exports = header_exports(root)
    problems = []
    try:
        unbound = unbound_exports(HERE / "unbound_exports.txt")
    except ValueError as e:
        return [str(e)]
    for name in sorted(set(unbound) - exports):
        problems.append(f"unbound_exports.txt lists {name}, which tavrix.h does not export")
    for binding, function in BINDINGS.items():
        try:
            used, notes = function(root)
        except (OSError, ValueError) as e:
            problems.append(f"{binding}: {e}")
            continue
        problems += [f"{binding}: {note}" for note in notes]
        for name in sorted(exports - used - set(unbound)):
            problems.append(f"{binding}: {name} is neither bound nor listed in unbound_exports.txt")
        for name in sorted(used & set(unbound)):
            problems.append(f"{binding}: {name} is bound but listed in unbound_exports.txt ({unbound[name]})")
        for name in sorted(used - exports):
            problems.append(f"{binding}: {name} is used but tavrix.h does not export it")
    return problems


def main():
    root = Path(sys.argv[1]).resolve() if len(sys.argv) > 1 else HERE.parent.parent
    problems = check(root)
    for line in problems:
        print(line, file=sys.stderr)
    exports = header_exports(root)
    unbound = unbound_exports(HERE / "unbound_exports.txt") if not problems else {}
    if not problems:
        print(f"{len(exports)} exports: {len(exports) - len(unbound)} bound by every binding "
              f"({', '.join(BINDINGS)}), {len(unbound)} left out on purpose")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks that every function of a public header documents its parameters
and its results.

Runs Doxygen over the header (through docs/Doxyfile and its filter, as the
reference and the manual pages are made) with XML output, and reports each
function whose comment lacks a @param for one of its parameters, names a
@param the function does not have, or (unless it returns void) has neither
@return nor @retval. Doxygen's own warnings for this are unreliable for
members of a named group, so the XML is read instead.
Run from the top of the tree.
Usage: check_function_docs.py DOXYGEN [HEADER]   (HEADER: include/tavrix.h)
Exit status 0 when every function is documented, 1 otherwise.
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def run_doxygen(doxygen, header, out_dir):
    config = os.path.join(out_dir, "Doxyfile")
    with open(config, "w", encoding="utf-8") as f:
        f.write("@INCLUDE = docs/Doxyfile\n"
                "INPUT = %s\n"
                "OUTPUT_DIRECTORY = %s\n"
                "GENERATE_HTML = NO\n"
                "GENERATE_XML = YES\n"
                "XML_PROGRAMLISTING = NO\n"
                "WARN_AS_ERROR = NO\n"
                "WARNINGS = NO\n"
                "QUIET = YES\n" % (header, out_dir))
    subprocess.run([doxygen, config], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(out_dir, "xml")


def text_of(node):
    return "".join(node.itertext()).strip() if node is not None else ""


def functions(xml_dir, header):
    """(name, parameter names, returns void, documented names, has results)
    for each function declared in the header."""
    base = os.path.basename(header)
    for file_name in sorted(os.listdir(xml_dir)):
        if not file_name.endswith(".xml") or file_name == "index.xml":
            continue
        root = ET.parse(os.path.join(xml_dir, file_name)).getroot()
        for compound in root.iter("compounddef"):
            if compound.get("kind") != "file" or text_of(compound.find("compoundname")) != base:
                continue
            for member in compound.iter("memberdef"):
                if member.get("kind") != "function":
                    continue
                params = [text_of(p.find("declname")) for p in member.findall("param")
                          if text_of(p.find("declname"))]
                detail = member.find("detaileddescription")
                documented = set()
                results = False
                if detail is not None:
                    for plist in detail.iter("parameterlist"):
                        if plist.get("kind") == "param":
                            documented.update(text_of(n) for n in plist.iter("parametername"))
                        elif plist.get("kind") == "retval":
                            results = True
                    results = results or any(s.get("kind") == "return" for s in detail.iter("simplesect"))
                returns_void = text_of(member.find("type")) in ("void", "static void")
                yield text_of(member.find("name")), params, returns_void, documented, results


def declaration_lines(header):
    """The header's line of each function's declaration, for the report
    (Doxygen counts the lines of the filtered text)."""
    lines = {}
    with open(header, encoding="latin-1") as f:
        for n, line in enumerate(f, 1):
            for name in re.findall(r"\b(\w+)\s*\(", line):
                lines.setdefault(name, n)
    return lines


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: check_function_docs.py DOXYGEN [HEADER]")
    doxygen = sys.argv[1]
    header = sys.argv[2] if len(sys.argv) == 3 else "include/tavrix.h"
    where = declaration_lines(header)
    faults = []
    seen = 0
    with tempfile.TemporaryDirectory() as out_dir:
        for name, params, returns_void, documented, results in functions(run_doxygen(doxygen, header, out_dir),
                                                                          header):
            seen += 1
            problems = []
            missing = [p for p in params if p not in documented]
            if missing:
                problems.append("no @param for " + ", ".join(missing))
            unknown = sorted(documented - set(params))
            if unknown:
                problems.append("@param for no parameter: " + ", ".join(unknown))
            if not returns_void and not results:
                problems.append("no @return or @retval")
            if problems:
                faults.append((where.get(name, 0), name, problems))
    if seen == 0:
        sys.exit("check_function_docs.py: Doxygen found no functions in " + header)
    for line, name, problems in sorted(faults):
        print("%s:%d: %s: %s" % (header, line, name, "; ".join(problems)))
    if faults:
        print("%d of %d functions lack parameter or result documentation" % (len(faults), seen))
        return 1
    print("all %d functions document their parameters and results" % seen)
    return 0


if __name__ == "__main__":
    sys.exit(main())

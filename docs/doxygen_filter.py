#!/usr/bin/env python3
"""Doxygen input filter for the public headers.

The headers carry plain C comments, written to be read in the file. This
filter shows them to Doxygen as documentation without changing the files:
  - the file's opening comment becomes the file description;
  - each banner (/* ---- / title / text / ---- */) opens a member group named
    after its title, with the text and any free-standing comments that follow
    it as the group's description;
  - a comment directly above a declaration documents it (unless that
    declaration carries its own comment: the one above is a heading);
  - a comment after code on the same line documents that member (/**< */);
  - characters Doxygen would read as commands or HTML are escaped.
Usage: doxygen_filter.py FILE (the filtered text goes to standard output).
"""
import re
import sys

BANNER = re.compile(r"^\s*/\* -{5,}\s*$")
BANNER_END = re.compile(r"^\s*\* -{5,}\s*\*/\s*$")
COMMENT_START = re.compile(r"^(\s*)/\*(?!\*)(.*)$")
TRAILING = re.compile(r"^(.*\S.*?)/\*(?!\*)(.*)\*/\s*$")


def escape(text):
    return re.sub(r"([\\<>&@#$%])", r"\\\1", text)


def comment_body(lines):
    """The text lines of a /* ... */ block, without the comment marks."""
    body = []
    for n, line in enumerate(lines):
        text = line.strip()
        if n == 0:
            text = text[2:]
        if text.endswith("*/"):
            text = text[:-2]
        text = re.sub(r"^\* ?", "", text.strip()) if n else text.strip()
        body.append(escape(text.rstrip()))
    while body and not body[0]:
        body.pop(0)
    while body and not body[-1]:
        body.pop()
    return body


def take_comment(lines, i):
    """The block starting at line i and the index after it."""
    j = i
    while "*/" not in lines[j]:
        j += 1
    return lines[i:j + 1], j + 1


def main(path):
    lines = open(path, encoding="latin-1").read().split("\n")
    out = []
    group_open = False
    first_comment = True
    i = 0
    while i < len(lines):
        line = lines[i]
        if BANNER.match(line):
            j = i + 1
            while not BANNER_END.match(lines[j]):
                j += 1
            text = comment_body(["/*"] + lines[i + 1:j] + ["*/"])
            i = j + 1
            # Free-standing comments right after the banner describe the group.
            while True:
                k = i
                while k < len(lines) and not lines[k].strip():
                    k += 1
                if k < len(lines) and COMMENT_START.match(lines[k]):
                    block, after = take_comment(lines, k)
                    if after < len(lines) and not lines[after].strip():
                        text += [""] + comment_body(block)
                        out.extend([""] * (after - i))
                        i = after
                        continue
                break
            if group_open:
                out.append("/** @} */")
            title, description = (text[0], text[1:]) if text else ("", [])
            out.append("/** @name " + title)
            out.extend(" * " + t for t in description)
            out.append(" * @{ */")
            group_open = True
            continue
        m = COMMENT_START.match(line)
        if m:
            block, after = take_comment(lines, i)
            body = comment_body(block)
            if first_comment:
                out.append("/** @file")
                out.extend(" * " + t for t in body)
                out.append(" */")
                first_comment = False
            elif after < len(lines) and lines[after].strip() and not TRAILING.match(lines[after]):
                out.append(m.group(1) + "/** " + "\n".join(" * " + t if n else t for n, t in enumerate(body)) + " */")
            else:
                # A note to the reader of the file, or the heading of lines
                # that carry their own comments.
                out.extend(block)
            i = after
            continue
        m = TRAILING.match(line)
        if m and not line.lstrip().startswith("#include"):
            out.append(m.group(1) + "/**< " + escape(m.group(2).strip()) + " */")
            i += 1
            continue
        if group_open and line.startswith("#ifdef __cplusplus") and i + 1 < len(lines) and lines[i + 1].strip() == "}":
            out.append("/** @} */")
            group_open = False
        out.append(line)
        i += 1
    if group_open:
        out.append("/** @} */")
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main(sys.argv[1])

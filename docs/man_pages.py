#!/usr/bin/env python3
"""Section-3 manual pages of the C interface, one per function.

Doxygen writes the reference of tavrix.h as one manual page. This script
reads that page and writes, into OUT_DIR:
  - tavrix.h.3: the whole reference, titled tavrix.h;
  - TVX_Name.3 for every exported function: its prototype, its comment with
    its parameters, its results (with the text of any shared list of results
    it refers to, such as the results every request may give) and the pages
    of the functions it mentions;
and a gzip-compressed copy of each (.3.gz, reproducible) for installing.
Usage: man_pages.py DOXYGEN_PAGE OUT_DIR VERSION
"""
import gzip
import os
import re
import sys

SUBSECTION = re.compile(r'^\.SS "(.*)"\s*$')
FUNCTION = re.compile(r"\b(TVX_\w+)\s*\(")
MENTION = re.compile(r"\b(TVX_[A-Za-z0-9]\w*)\b")


def plain(roff):
    """The text of a roff fragment without font changes and escapes."""
    text = re.sub(r"\\f[A-Z]", "", roff)
    return text.replace("\\&", "").replace("\\-", "-")


def first_sentence(body):
    text = plain(" ".join(line for line in body if not line.startswith(".")))
    text = " ".join(text.split())
    match = re.match(r"(.+?\.)(\s|$)", text)
    sentence = match.group(1) if match else text
    sentence = sentence.rstrip(".")
    if not sentence:
        return "a function of the tavrix library"
    return sentence[0].lower() + sentence[1:] if sentence[1:2].islower() else sentence


def clean(line):
    """A text line Doxygen wrote, made safe for troff: a leading quote is
    not a control line, and the filter's escaped angle brackets are plain."""
    line = line.replace("\\\\<", "<").replace("\\\\>", ">")
    if line.startswith("'"):
        line = "\\&" + line
    return line


def read_groups(directory, skip):
    """The shared lists of results Doxygen wrote as pages of their own:
    {title: body lines of the page's description}."""
    groups = {}
    for file_name in sorted(os.listdir(directory)):
        path = os.path.join(directory, file_name)
        if not file_name.endswith(".3") or os.path.samefile(path, skip):
            continue
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        title, body, section = None, [], None
        for line in lines:
            if line.startswith(".SH "):
                section = line[4:].strip('"')
                continue
            if section == "NAME" and title is None and " \\- " in line:
                title = line.split(" \\- ", 1)[1].strip()
            elif section == "Detailed Description":
                body.append(line)
        if title and body:
            groups[title] = body
    return groups


def group_sections(text, groups):
    """Sections with the shared lists `text` refers to by their titles, and
    with the lists those refer to in turn."""
    lines = []
    taken = set()
    while True:
        found = [t for t in groups if t not in taken and "\\fB%s\\fP" % t in text]
        if not found:
            return lines
        for title in found:
            taken.add(title)
            body = [clean(line) for line in groups[title] if line.strip()]
            lines += ['.SH "%s"' % title.upper()] + body
            text += "\n".join(body)


def split_results(body):
    """The description and the results of a function's comment: Doxygen's
    "Return values" and "Returns" blocks start its results."""
    for n, line in enumerate(body):
        if line.strip() in ("\\fBReturn values\\fP", "\\fBReturns\\fP"):
            return body[:n], body[n:]
    return body, []


def escape_name(text):
    return text.replace("-", "\\-")


def function_page(name, prototype, body, version, known, groups):
    mentions = sorted({m for m in MENTION.findall(" ".join(body)) if m in known and m != name})
    title = name.upper().replace("-", "\\-")
    lines = [
        '.TH "%s" 3 "" "tavrix %s" "tavrix Library Functions"' % (title, version),
        ".SH NAME",
        "%s \\- %s" % (escape_name(name), first_sentence(body)),
        ".SH SYNOPSIS",
        ".nf",
        ".B #include <tavrix.h>",
        ".PP",
        ".B " + plain(prototype) + ";",
        ".fi",
        ".PP",
        "Link with \\fI\\-ltavrix\\fP (pkg-config: tavrix).",
        ".SH DESCRIPTION",
    ]
    description, results = split_results(body)
    text = [clean(line) for line in description if line.strip()]
    if text:
        lines += text
    else:
        lines.append("Described with the functions around it in \\fBtavrix.h\\fP(3).")
    if results:
        lines.append(".SH RETURN VALUE")
        lines += [clean(line) for line in results if line.strip()]
        lines += group_sections("\n".join(results), groups)
    elif plain(prototype).startswith("int32_t "):
        lines += [".SH RETURN VALUE",
                  "TVX_OK (0) on success, otherwise a result code, a TVX_ constant of tavrix.h; "
                  "\\fBTVX_GetErrcodeDescription\\fP(3) gives its text."]
        if "TVX_HANDLE handle" in plain(prototype):
            lines.append("An invalid or closed handle gives TVX_ERR_INVALID_HANDLE (20009); a required pointer "
                         "that is NULL gives TVX_ERR_BAD_ARGUMENT (20002).")
    lines += [
        ".SH SEE ALSO",
        ", ".join(["\\fBtavrix.h\\fP(3)"] + ["\\fB%s\\fP(3)" % m for m in mentions]),
    ]
    return "\n".join(lines) + "\n"


def write(out_dir, file_name, text):
    data = text.encode("utf-8")
    with open(os.path.join(out_dir, file_name), "wb") as f:
        f.write(data)
    # mtime 0 and no file name inside: the same input gives the same bytes.
    with open(os.path.join(out_dir, file_name + ".gz"), "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as f:
            f.write(data)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: man_pages.py DOXYGEN_PAGE OUT_DIR VERSION")
    source, out_dir, version = sys.argv[1:]
    with open(source, encoding="utf-8") as f:
        lines = f.read().split("\n")
    os.makedirs(out_dir, exist_ok=True)

    functions = []  # (name, prototype, body lines)
    section = None
    current = None
    for line in lines:
        if line.startswith(".SH "):
            section = line[4:].strip('"')
            current = None
            continue
        if section != "Function Documentation":
            continue
        sub = SUBSECTION.match(line)
        if sub:
            match = FUNCTION.search(plain(sub.group(1)))
            current = None
            if match:
                current = (match.group(1), sub.group(1), [])
                functions.append(current)
            continue
        if current:
            current[2].append(line)
    if not functions:
        sys.exit("man_pages.py: no functions found in " + source)

    # The whole reference, titled after the header rather than its path.
    whole = []
    for line in lines:
        if line.startswith(".TH "):
            line = '.TH "tavrix.h" 3 "" "tavrix %s" "tavrix Library Functions"' % version
        elif not line.startswith("."):
            line = clean(line)
        whole.append(line)
    # The shared lists of results close the whole reference.
    groups = read_groups(os.path.dirname(os.path.abspath(source)), source)
    shared = group_sections("\n".join(whole), groups)
    author = next((n for n, line in enumerate(whole) if line.startswith('.SH "Author"')), len(whole))
    whole[author:author] = shared
    text = "\n".join(whole)
    text = re.sub(r"\.SH NAME\n[^\n]*\n", ".SH NAME\ntavrix.h \\\\- the tavrix library's C interface\n", text, count=1)
    write(out_dir, "tavrix.h.3", text)

    known = {name for name, _, _ in functions}
    written = set()
    for name, prototype, body in functions:
        if name in written:
            continue
        written.add(name)
        write(out_dir, name + ".3", function_page(name, prototype, body, version, known, groups))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Checks the image builder's truth (tools/mkimage/mailtext.py) on mails whose every line end was
doubled to CR CR LF: the header block, its first line behind a line of blanks and the trace line
are where a reader that takes such line ends finds them, and the walk with --strict, which does
not, is promised nothing.
"""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import layouts  # noqa: E402

HEADER = (b"Delivered-To: bob@b.example\r\n"
          b"Received: from a.example by b.example; Mon, 3 Mar 2008 10:00:00 +0000\r\n"
          b"From: Ann <ann@a.example>\r\nTo: bob@b.example\r\nSubject: plans\r\n"
          b"Date: Mon, 3 Mar 2008 10:00:00 +0000\r\n")
PLAIN = b"\r\nBody line one.\r\n"
# An attached message's own trace line lies in the body: never the mail's.
ATTACHED = (b"MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b1\r\n\r\n"
            b"--b1\r\nContent-Type: message/rfc822\r\n\r\n"
            b"Received: from c.example by d.example; Mon, 3 Mar 2008 09:00:00 +0000\r\n"
            b"From: Cy <cy@c.example>\r\nTo: ann@a.example\r\n"
            b"Date: Mon, 3 Mar 2008 09:00:00 +0000\r\n\r\nOld text.\r\n--b1--\r\n")
SPACES = b" " * 40 + b"\r\n"


def doubled(text):
    return text.replace(b"\r\n", b"\r\r\n")


# name -> (text, whether the walk with --strict is promised the mail)
ROWS = {
    "plain": (HEADER + PLAIN, True),
    "plain-doubled": (doubled(HEADER + PLAIN), False),
    "spaces-first": (SPACES + HEADER + PLAIN, True),
    "spaces-first-doubled": (doubled(SPACES + HEADER + PLAIN), False),
    "attached-message": (HEADER + ATTACHED, True),
    "attached-message-doubled": (doubled(HEADER + ATTACHED), False),
}


def check(name, text, strict, failures):
    analysis, lines, header_end = layouts.plan(text)
    first = text.index(b"Delivered-To: ")
    closing = (text.index(b"\r\r\n\r\r\n") + 3 if b"\r\r\n" in text
               else text.index(b"\r\n\r\n") + 2)
    # The mail lies at image position 1 (see layouts.plan).
    expected = {
        "header_start": 1 + first,
        "trace_offset": 1 + text.index(b"Received: "),
        "header_end": 1 + closing,
        "strict_expected": strict,
    }
    for field, value in expected.items():
        if analysis[field] != value:
            failures.append(f"{name}: {field} {analysis[field]!r}, expected {value!r}")
    if len(lines) != text[first:closing].count(b"\n") or any(text[end:end + 1] != b"\r" for _start, end in lines):
        failures.append(f"{name}: lines {lines!r}")
    if header_end is None or analysis["header_end"] != 1 + header_end:
        failures.append(f"{name}: the walk's header end {header_end!r}")
    if not strict and "CR CR LF" not in analysis["reason"]:
        failures.append(f"{name}: reason {analysis['reason']!r}")


def main():
    support.parse_arguments(__doc__.splitlines()[0])
    failures = []
    for name, (text, strict) in ROWS.items():
        check(name, text, strict, failures)
    for failure in failures:
        print("FAIL", failure)
    return support.FAIL if failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

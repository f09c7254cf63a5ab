#!/usr/bin/env python3
"""Checks the image builder's header-shape cases (tools/mkimage/header_shapes.py) on a hand-made
mail: each gives the header block the shape it names, keeps the body, and the truth reader still
finds the block where a carver should.
"""

import pathlib
import random
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import header_shapes, mailtext, variants  # noqa: E402
from mkimage.mixes import MIXES  # noqa: E402

MAIL = (b"Received: from a.example by b.example; Mon, 3 Mar 2008 10:00:00 +0000\r\n"
        b"From: Ann <ann@a.example>\r\nTo: bob@b.example\r\nSubject: plans for the week\r\n"
        b"Date: Mon, 3 Mar 2008 10:00:00 +0000\r\nMessage-ID: <1@a.example>\r\n\r\n"
        b"Body line one.\r\nBody line two.\r\n")
BODY = b"Body line one.\r\nBody line two.\r\n"


def header_of(text):
    start, _lines, header_end = mailtext.shape_lines(text)
    return text[start:header_end]


def first_line(text):
    return text.split(b"\r\n", 1)[0]


# case -> what must hold of the variant's text
ROWS = {
    "first-upper": lambda t: first_line(t).startswith(b"RECEIVED: "),
    "first-lower": lambda t: first_line(t).startswith(b"received: ") and b"\r\nFrom: Ann" in t,
    "all-lower": lambda t: b"\r\nfrom: Ann" in t and b"\r\nmessage-id: " in t,
    "first-rare": lambda t: any(t.startswith(f) for f in header_shapes.RARE_FIRST_FIELDS),
    "no-blank": lambda t: b"\r\nFrom:Ann" in t and b": " not in header_of(t).replace(
        b"10:00:00", b""),
    "tab-colon": lambda t: b"\r\nTo:\tbob@b.example" in t,
    "open-blank-line": lambda t: t.startswith(b"\r\nReceived: ") and header_of(t) ==
    header_of(MAIL),
    "open-space": lambda t: t.startswith(b" Received: "),
    "open-fold": lambda t: t.startswith(b"\tby ") and b"\r\nReceived: " in t,
    "raw-8bit": lambda t: any(byte >= 0x80 for byte in header_of(t)),
    "short-block": lambda t: header_of(t).split(b"\r\n")[0].startswith(b"From: ") and
    len(header_of(t).splitlines()) == 3,
    "long-line": lambda t: max(len(line) for line in header_of(t).split(b"\r\n")) > 998,
    "no-body": lambda t: t.endswith(b"\r\n\r\n") and BODY not in t,
    "many-folds": lambda t: b"Subject: plans\r\n" in t and b"week" in header_of(t),
    "mbox-line": lambda t: t.startswith(header_shapes.MBOX_LINE + b"\r\nReceived: "),
    "bare-cr": lambda t: b"part\rtwo" in t,
}


def main():
    support.parse_arguments(__doc__.splitlines()[0])
    failures = []
    if set(ROWS) != set(header_shapes.SHAPES):
        failures.append(f"cases without a row: {set(header_shapes.SHAPES) ^ set(ROWS)}")
    for case, holds in ROWS.items():
        text, _fields = variants.apply(case, MAIL, random.Random(5), MIXES["tuning"])
        if not holds(text):
            failures.append(f"{case}: {text[:160]!r}")
        if case != "no-body" and not text.endswith(BODY):
            failures.append(f"{case}: the body changed")
    both, _fields = variants.apply("first-rare+no-trace", MAIL, random.Random(5),
                                   MIXES["tuning"])
    if b"Received:" in both or not any(both.startswith(f)
                                       for f in header_shapes.RARE_FIRST_FIELDS):
        failures.append(f"first-rare+no-trace: {both[:120]!r}")
    for failure in failures:
        print("FAIL", failure)
    return support.FAIL if failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

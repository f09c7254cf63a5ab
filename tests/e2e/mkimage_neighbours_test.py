#!/usr/bin/env python3
"""Checks the old data that reads like mail (tools/mkimage/neighbours.py): each kind makes the
text it names, windows of it keep the promises all old data keeps (no trace word, no header
block of a mail the truth does not know, no NUL, the size asked for), and the `neighbours` mix
puts the kinds in front of and behind mails.
"""

import pathlib
import random
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import neighbours, olddata  # noqa: E402
from mkimage.mixes import MIXES  # noqa: E402

# What a run of each kind must hold somewhere: the mark of the thing it is the rest of.
SIGNS = {
    "mail-end": re.compile(rb"(?m)^------=_NextPart_\S+--\r$"),
    "digest": re.compile(rb"(?m)^Message: \d+\r\nFrom: "),
    "quoted-headers": re.compile(rb"(?m)^>[ >]*From: .*\r\n>[ >]*Sent: "),
    "mbox-lines": re.compile(rb"(?m)^From \S+@\S+  \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}\r$"),
    "patch": re.compile(rb"(?m)^diff --git a/\S+ b/\S+\nindex \S+ 100644\n--- a/\S+\n\+\+\+ b/"),
    "returned-headers": re.compile(rb"(?m)^Return-Path: <[^>]+>\r\nMessage-ID: <"),
    "webmail-page": re.compile(rb"<tr><th>From:</th><td>[^<]+</td></tr>\r\n<tr><th>To:</th>"),
    "qp-text": re.compile(rb"(?m)^[^\r\n]{75}=\r$"),
}
SEEDS = range(40)
SIZES = (1, 37, 700, 4095)


def check_kind(kind, failures):
    checks = 0
    for seed in SEEDS:
        old = olddata.OldData(random.Random(f"{kind}-{seed}"))
        run = old.run(kind, 2000)
        checks += 1
        if len(run) < 2000 or not SIGNS[kind].search(run):
            failures.append(f"{kind}/{seed}: run of {len(run)} bytes without its sign")
        for size in SIZES:
            for name, data in (("slack", old.slack(kind, size)), ("lead", old.lead(kind, size))):
                checks += 1
                where = f"{kind}/{seed}/{name}/{size}"
                if len(data) != size:
                    failures.append(f"{where}: {len(data)} bytes")
                if b"\x00" in data or not olddata.is_clean(data):
                    failures.append(f"{where}: a NUL, a trace word or a header block")
                if name == "lead" and data[-1:] in (b"\r", b"\n"):
                    failures.append(f"{where}: a lead ends with a line break")
    return checks


def check_mix(failures):
    mix = MIXES["neighbours"]
    drawn = {name for name, _weight in mix.leads + mix.slack_kinds}
    drawn |= {name[4:] for name, _weight in mix.noise if name.startswith("old:")}
    missing = set(neighbours.KINDS) - drawn
    if missing:
        failures.append(f"the neighbours mix draws no {sorted(missing)}")
    unknown = drawn - set(olddata.KINDS)
    if unknown:
        failures.append(f"the neighbours mix names kinds old data cannot make: {sorted(unknown)}")
    for name in ("tuning", "held-out"):
        used = {kind for kind, _weight in MIXES[name].leads + MIXES[name].slack_kinds}
        if used & set(neighbours.KINDS):
            failures.append(f"the {name} mix changed: it draws neighbour kinds")
    return 4


def main():
    support.parse_arguments(__doc__.splitlines()[0])
    failures = []
    checks = sum(check_kind(kind, failures) for kind in neighbours.KINDS)
    checks += check_mix(failures)
    for failure in failures[:40]:
        print(f"FAIL {failure}")
    print(f"neighbour kinds: {checks} checks, {len(failures)} failed")
    return support.PASS if not failures else support.FAIL


if __name__ == "__main__":
    sys.exit(main())

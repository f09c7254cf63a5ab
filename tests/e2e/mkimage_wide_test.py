#!/usr/bin/env python3
"""Checks the old data of the many kinds a used disk holds besides mail (tools/mkimage/wide.py):
each kind makes the text it names, windows of it keep the promises all old data keeps (no trace
word, no header block of a mail the truth does not know, no NUL, the size asked for), and the
`wide` mix puts the kinds in front of and behind mails while the other mixes stay as they were.
"""

import pathlib
import random
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import olddata, wide  # noqa: E402
from mkimage.mixes import MIXES  # noqa: E402

# What a run of each kind must hold somewhere, and how its lines end.
SIGNS = {
    # Text in other scripts is asked of the decoded run.
    "utf8-cyrillic": re.compile("[а-яё]{4,} [а-яё]+"),
    "utf8-greek": re.compile("[α-ωά-ώ]{4,} [α-ωά-ώ]+"),
    "utf8-cjk": re.compile("[\u3040-\u30ff\u4e00-\u9fff]{2,}。\r\n"),
    "cp1252": re.compile(rb"[\x92-\x97][A-Za-z]"),
    "json": re.compile(rb'(?m)^    "id": \d+,\r\n    "name": "'),
    "c-source": re.compile(rb"(?m)^static int \w+\(const char \*buffer, size_t length\)\n\{\n"),
    "js-source": re.compile(rb"(?m)^function \w+\(items\) \{\n  var total = \d+;\n"),
    "py-source": re.compile(rb'(?m)^def \w+\(rows\):\n    """'),
    "rtf": re.compile(rb"(?m)^\{\\rtf1\\ansi\\ansicpg1252"),
    "sql": re.compile(rb"(?m)^INSERT INTO `\w+` \(`id`, `name`, `note`, `value`\) VALUES \(\d+, '"),
    "ini": re.compile(rb"(?m)^\[[A-Z]\w+\]\r\n[A-Z]\w*=\S+\r\n"),
    "quoted-text": re.compile(rb"(?m)^\w+ \w+ wrote:\r\n(> )+[A-Z]"),
    "rules": re.compile(rb"(?m)^([-=*_])\1{19,}\r$"),
    "tsv-log": re.compile(rb"(?m)^2009-\d\d-\d\d \d\d:\d\d:\d\d\t(INFO|WARN|ERROR)\t\w+\t\d+\t"),
    "base64-block": re.compile(rb"(?m)^(\S{64}|\S{76})\r\n[A-Za-z0-9+/]+==\r$"),
}
LF_KINDS = ("c-source", "js-source", "py-source", "tsv-log")
SEEDS = range(30)
SIZES = (1, 37, 700, 4095)


def check_run(kind, seed, run, failures):
    where = f"{kind}/{seed}"
    shown = run.decode("utf-8", "replace") if kind.startswith("utf8-") else run
    if len(run) < 2000 or not SIGNS[kind].search(shown):
        failures.append(f"{where}: run of {len(run)} bytes without its sign")
    crlf = run.count(b"\r\n")
    if (kind in LF_KINDS) != (crlf == 0):
        failures.append(f"{where}: {crlf} CR LF line ends")
    if kind.startswith("utf8-"):
        try:
            run.decode("utf-8")
        except UnicodeDecodeError as error:
            failures.append(f"{where}: no UTF-8 ({error})")


def check_kind(kind, failures):
    checks = 0
    for seed in SEEDS:
        old = olddata.OldData(random.Random(f"{kind}-{seed}"))
        check_run(kind, seed, old.run(kind, 2000), failures)
        checks += 1
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
    mix = MIXES["wide"]
    for field in ("leads", "sector_leads", "slack_kinds"):
        drawn = {name for name, _weight in getattr(mix, field)}
        missing = set(wide.KINDS) - drawn
        if missing:
            failures.append(f"the wide mix's {field} draw no {sorted(missing)}")
        unknown = drawn - set(olddata.KINDS) - {"zeros", "text-line"}
        if unknown:
            failures.append(f"the wide mix's {field} name kinds old data cannot make: "
                            f"{sorted(unknown)}")
    noise = {name[4:] for name, _weight in mix.noise if name.startswith("old:")}
    if noise - set(olddata.KINDS):
        failures.append(f"the wide mix's noise names unknown kinds: {sorted(noise)}")
    for name in ("tuning", "held-out", "neighbours"):
        used = {kind for kind, _weight in MIXES[name].leads + MIXES[name].slack_kinds}
        if used & set(wide.KINDS):
            failures.append(f"the {name} mix changed: it draws kinds of the wide mix")
    return 4


def main():
    support.parse_arguments(__doc__.splitlines()[0])
    failures = []
    missing = set(wide.KINDS) - set(SIGNS)
    if missing:
        failures.append(f"kinds without a sign to check: {sorted(missing)}")
    checks = sum(check_kind(kind, failures) for kind in wide.KINDS if kind in SIGNS)
    checks += check_mix(failures)
    for failure in failures[:40]:
        print(f"FAIL {failure}")
    print(f"wide kinds: {checks} checks, {len(failures)} failed")
    return support.PASS if not failures else support.FAIL


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks the image builder's mails that differ along several axes at once (tools/mkimage/
combos.py): what is drawn, the order the axes are applied in, and that each axis still changes
what it names when another one changed the mail before or after it.
"""

import pathlib
import random
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import combos, mutations, variants  # noqa: E402
from mkimage.mixes import MIXES  # noqa: E402

MAIL = (b"Received: from a.example by b.example; Mon, 3 Mar 2008 10:00:00 +0000\r\n"
        b"From: Ann <ann@a.example>\r\nTo: bob@b.example\r\nSubject: plans for the week\r\n"
        b"Date: Mon, 3 Mar 2008 10:00:00 +0000\r\nMessage-ID: <1@a.example>\r\n\r\n"
        b"Body line one.\r\nBody line two.\r\n")
# Cases that replace the whole mail or leave none with From and Date: never drawn.
NEVER_DRAWN = ("mut-bounce", "mut-rfc822-only", "mut-tiny", "mut-three-fields",
               "mut-news-article", "mut-headers-only", "mut-header-at-end", "mut-huge-block",
               "mut-space-colon", "mut-combo")


def lines_of(text):
    return text.replace(b"\r\r\n", b"\n").replace(b"\r\n", b"\n").split(b"\n")


# (axes applied together, what must hold of the text): each pair crosses two stages, and the
# check asks for both axes' marks in the one text.
PAIRS = (
    (("mut-first-envelope", "mut-banner"),
     lambda t: lines_of(t)[0] in mutations.BANNERS and
     lines_of(t)[1].split(b":")[0] in (b"Return-path", b"Envelope-to", b"Delivery-date") and
     t.endswith(MAIL)),
    (("mut-odd-date", "mut-cr-cr-lf"),
     lambda t: b"\r\n" not in t.replace(b"\r\r\n", b"") and
     any(b"\r\r\nDate: " + date + b"\r\r\n" in t for date in mutations.ODD_DATES)),
    (("mut-nul-field", "mut-lf-header"),
     lambda t: b"\r\n" not in t.split(b"\n\n", 1)[0] and b"\x00" in lines_of(t)[3] and
     t.endswith(b"\r\nBody line two.\r\n")),
    (("mut-signature-end", "mut-mailbox-other"),
     lambda t: lines_of(t)[0] in mutations.OTHER_MAILBOX_LINES and b"\r\n-- \r\n" in t and
     MAIL.rstrip(b"\r\n") in t),
    (("mut-long-references", "mut-first-space-colon"),
     lambda t: b" :" in lines_of(t)[0] or b"\t:" in lines_of(t)[0] and
     any(line.startswith(b"References: ") and len(line) > 998 for line in lines_of(t))),
    (("mut-odd-case-all", "mut-gt-from"),
     lambda t: lines_of(t)[0] == mutations.GT_FROM_LINE and t.lower().endswith(MAIL.lower())
     and not t.endswith(MAIL)),
    (("mut-mime-first", "mut-cut-first-name"),
     lambda t: b"MIME-Version: 1.0" not in t and b"ersion: 1.0\r\n" in t[:40] and
     t.endswith(b"\r\n\r\nBody line one.\r\nBody line two.\r\n")),
    (("mut-trailing-blanks", "mut-blank-separator"),
     lambda t: b"\r\n\r\nBody" not in t and b"Body line two.\r\n" in t and
     not t.split(b"Body line two.\r\n", 1)[1].strip(b" \t\r\n")),
)
MIME_MAIL = MAIL.replace(b"Message-ID: <1@a.example>\r\n", b"Message-ID: <1@a.example>\r\n"
                         b"MIME-Version: 1.0\r\nContent-Type: text/plain\r\n")


def check_draws(failures):
    stages = dict(combos.STAGE_OF)
    for seed in range(300):
        axes = combos.draw_axes(random.Random(seed))
        order = [combos.ORDER[stages[case]] for case in axes]
        exclusive = [stages[case] for case in axes if stages[case] in combos.EXCLUSIVE]
        if not combos.MIN_AXES <= len(axes) <= combos.MAX_AXES or order != sorted(order) or \
                len(set(exclusive)) != len(exclusive) or len(set(axes)) != len(axes) or \
                any(case in NEVER_DRAWN or case not in mutations.MUTATIONS for case in axes):
            failures.append(f"seed {seed} drew {axes}")
    drawn = {case for seed in range(3000) for case in combos.draw_axes(random.Random(seed))}
    if drawn != set(combos.AXES):
        failures.append(f"never drawn: {sorted(set(combos.AXES) - drawn)}")


def check_combo_case(failures):
    """The case through the builder's entry: one seed gives one text; every axis it names
    changed the mail; another seed gives another mail."""
    texts = set()
    for seed in range(40):
        text, fields = variants.apply("mut-combo", MAIL, random.Random(seed), MIXES["tuning"])
        again, _fields = variants.apply("mut-combo", MAIL, random.Random(seed), MIXES["tuning"])
        axes = fields["axes"].split("+") if fields["axes"] else []
        if text != again or text == MAIL or not 1 <= len(axes) <= combos.MAX_AXES or \
                any(case not in combos.AXES for case in axes):
            failures.append(f"seed {seed}: {fields} {text[:100]!r}")
        texts.add(text)
    if len(texts) < 30:
        failures.append(f"only {len(texts)} texts from 40 seeds")


def main():
    support.parse_arguments(__doc__.splitlines()[0])
    failures = []
    check_draws(failures)
    check_combo_case(failures)
    for axes, holds in PAIRS:
        source = MIME_MAIL if "mut-mime-first" in axes else MAIL
        text, applied = combos.apply_axes(source, axes, random.Random(7))
        if applied != "+".join(axes) or not holds(text):
            failures.append(f"{'+'.join(axes)} ({applied}): {text[:160]!r}")
    for failure in failures:
        print("FAIL", failure)
    return support.FAIL if failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

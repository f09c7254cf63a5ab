#!/usr/bin/env python3
"""Checks the image builder's mail mutations (tools/mkimage/mutations.py) on a hand-made mail:
each changes the mail along the one axis it names and leaves the rest as it was.
"""

import base64
import pathlib
import random
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import mailtext, mutations, variants  # noqa: E402
from mkimage.mixes import MIXES  # noqa: E402

MAIL = (b"Received: from a.example by b.example; Mon, 3 Mar 2008 10:00:00 +0000\r\n"
        b"From: Ann <ann@a.example>\r\nTo: bob@b.example\r\nSubject: plans for the week\r\n"
        b"Date: Mon, 3 Mar 2008 10:00:00 +0000\r\nMessage-ID: <1@a.example>\r\n\r\n"
        b"Body line one.\r\nBody line two.\r\n")
BODY = b"Body line one.\r\nBody line two.\r\n"
HEADER = MAIL[:MAIL.index(b"\r\n\r\n") + 2]
# A multipart mail with text behind its closing boundary line.
MULTIPART = (MAIL[:MAIL.index(b"\r\n\r\n") + 2] +
             b"Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
             b"Content-Type: text/plain\r\n\r\n" + BODY + b"--b--\r\nafter the parts\r\n")


def signature_lines(text):
    """The lines behind the signature's "-- " line."""
    return text.split(b"\r\n-- \r\n", 1)[1].rstrip(b"\r\n").split(b"\r\n")


def header_lines(text):
    start, lines, _end = mailtext.shape_lines(text)
    return [text[begin:end] for begin, end in lines]


def first_line(text):
    return text.split(b"\n", 1)[0].rstrip(b"\r")


def names(text):
    return [line.split(b":", 1)[0].lower() for line in header_lines(text)
            if line[:1] not in (b" ", b"\t")]


def before_from(text, holds):
    """Whether the lines in front of From hold a line for which `holds` is true."""
    lines = header_lines(text)
    at = next(index for index, line in enumerate(lines) if line.startswith(b"From: "))
    return any(holds(line) for line in lines[:at])


def opens_with_one_of(text, lines):
    """Whether `text` opens with one to three of `lines` (by name) in front of MAIL."""
    names_of = {line.split(b":", 1)[0] for line in lines}
    lines_in_front = header_lines(text[:len(text) - len(MAIL)])
    opening = [line.split(b":", 1)[0] for line in lines_in_front if line[:1] not in (b" ", b"\t")]
    return text.endswith(MAIL) and 1 <= len(opening) <= 3 and set(opening) <= names_of


def right_in_front_of_from(text, lines):
    """Whether `text` is MAIL with one or two of `lines` right in front of its From line."""
    at = MAIL.index(b"From: ")
    inserted = text[at:len(text) - (len(MAIL) - at)]
    added = inserted.split(b"\r\n")[:-1]
    return (text.startswith(MAIL[:at]) and text.endswith(MAIL[at:]) and
            inserted.endswith(b"\r\n") and 1 <= len(added) <= 2 and set(added) <= set(lines))


# case -> what must hold of the variant's text
ROWS = {
    "mut-banner": lambda t: first_line(t) in mutations.BANNERS and t.endswith(MAIL),
    "mut-gt-from": lambda t: first_line(t) == mutations.GT_FROM_LINE and t.endswith(MAIL),
    "mut-mailbox-other": lambda t: first_line(t) in mutations.OTHER_MAILBOX_LINES and
    t.endswith(MAIL),
    "mut-nul-field": lambda t: b"\x00" in t.split(b"\r\n")[3] and b"Subject: " in t,
    "mut-control-field": lambda t: any(byte in t.split(b"\r\n")[3] + t.split(b"\r\n")[2]
                                       for byte in mutations.CONTROL_BYTES),
    "mut-long-first": lambda t: 998 < len(first_line(t)) <= 3000 and t.endswith(MAIL),
    "mut-long-512": lambda t: before_from(t, lambda line: 512 <= len(line) <= 998),
    "mut-long-folded": lambda t: before_from(t, lambda line: len(line) > 998 and
                                             line[:1] == b"\t"),
    "mut-many-lines": lambda t: len(header_lines(t)) > 200 and
    header_lines(t)[-1].startswith(b"Message-ID"),
    "mut-huge-block": lambda t: t.index(b"\r\nFrom: ") > 64 * 1024,
    "mut-from-date-last": lambda t: names(t)[-2:] == [b"from", b"date"] and len(names(t)) == 6,
    "mut-odd-date": lambda t: any(b"Date: " + date + b"\r\n" in t for date in mutations.ODD_DATES),
    "mut-no-blank": lambda t: b"\r\n\r\n" not in t and t.endswith(b">\r\n" + BODY),
    "mut-body-no-crlf": lambda t: t == MAIL.rstrip(b"\r\n"),
    "mut-lf-header": lambda t: t.startswith(HEADER.replace(b"\r\n", b"\n") + b"\n") and
    t.endswith(BODY),
    "mut-lf-body": lambda t: t == HEADER + b"\r\n" + BODY.replace(b"\r\n", b"\n"),
    "mut-cr-only": lambda t: b"\n" not in t and t.count(b"\r") == MAIL.count(b"\n"),
    "mut-duplicate-fields": lambda t: names(t).count(b"from") == 2 and names(t).count(b"date") == 2,
    "mut-8bit-name": lambda t: before_from(t, lambda line: line.split(b":")[0] in
                                           mutations.EIGHT_BIT_NAMES),
    "mut-odd-name": lambda t: before_from(t, lambda line: line.split(b":")[0] in
                                          mutations.ODD_NAMES),
    "mut-blank-fold": lambda t: b"Subject: plans for the week\r\n \r\n\t\t\r\n end\r\n" in t,
    "mut-header-at-end": lambda t: t == HEADER,
    "mut-tiny": lambda t: len(t) < 100 and t.startswith(b"From: ") and b"\r\nDate: Mon, " in t,
    "mut-rfc822-only": lambda t: t.endswith(b"Content-Type: message/rfc822\r\n\r\n" + MAIL),
    "mut-received-fold": lambda t: t.startswith(b"Received:\r\n\tfrom a.example ") and
    t.count(b"Received:") == 1,
    "mut-bom": lambda t: t == b"\xef\xbb\xbf" + MAIL,
    "mut-stray-line": lambda t: before_from(t, lambda line: line in mutations.STRAY_LINES),
    "mut-stray-token": lambda t: before_from(t, lambda line: b":" not in line and
                                             b" " not in line),
    "mut-fold-at-name": lambda t: b"\r\nFrom: \r\n\tAnn <ann@a.example>\r\n" in t and
    b"\r\nDate: \r\n\tMon, 3 Mar" in t,
    "mut-empty-from": lambda t: b"\r\nFrom: \r\nFrom: Ann" in t,
    "mut-space-colon": lambda t: b"\r\nFrom : Ann" in t and b"\r\nDate : Mon" in t,
    **{case: (lambda lines: lambda t: opens_with_one_of(t, lines))(lines)
       for case, lines in mutations.FIRST_LINE_CASES.items()},
    "mut-bounce": lambda t: t.startswith(b"From: ") and b"message/delivery-status" in t and
    (MAIL in t or HEADER + b"\r\n" in t) and t.rstrip(b"\r\n").endswith(b"--"),
    "mut-long-references": lambda t: before_from(t, lambda line: line.startswith(b"References: ")
                                                 and len(line) > 998),
    "mut-foreign-date": lambda t: any(b"\r\nDate: " + date + b"\r\n" in t
                                      for date in mutations.FOREIGN_DATES),
    "mut-gbk-header": lambda t: any(b"\r\nFrom: " + name + b" <ann@a.example>\r\n" in t
                                    for name in mutations.GBK_NAMES) and
    b"Subject: \xbb\xe1" in t,
    "mut-cp1252-name": lambda t: b"\r\nFrom: \x93" in t and b"\x94 <ann@a.example>\r\n" in t,
    "mut-tab-fold": lambda t: b"Subject: plans for the week\r\n\t\r\n\tmore\r\n" in t,
    "mut-three-fields": lambda t: names(t) == [b"from", b"date", b"subject"] and
    t.endswith(b"\r\n\r\n" + BODY),
    **{case: (lambda strays: lambda t: t.startswith(HEADER + b"\r\n") and
              t[len(HEADER) + 2:].translate(None, b"".join(strays)) == BODY and
              t.count(b"\r\n") == MAIL.count(b"\r\n"))(strays)
       for case, strays in mutations.BODY_BYTE_CASES.items()},
    "mut-blank-separator": lambda t: t.replace(HEADER + b" \r\n", b"").replace(
        HEADER + b"\t\r\n", b"").replace(HEADER + b"  \r\n", b"") == BODY,
    "mut-cr-cr-lf": lambda t: t == MAIL.replace(b"\r\n", b"\r\r\n") and b"\r\r\r" not in t,
    "mut-closing-no-newline": lambda t: t.startswith(MAIL.rstrip(b"\r\n") + b"\r\n\r\n") and
    t.split(b"\r\n")[-2].endswith(b",") and t.split(b"\r\n")[-1] in mutations.SIGNED_NAMES,
    "mut-signature-end": lambda t: t.startswith(MAIL.rstrip(b"\r\n") + b"\r\n-- \r\n") and
    1 <= len(signature_lines(t)) <= 3 and
    all(line in mutations.SIGNATURE_LINES for line in signature_lines(t)),
    "mut-qp-soft-end": lambda t: t in (MAIL.rstrip(b"\r\n") + b"=",
                                       MAIL.rstrip(b"\r\n") + b"=\r\n"),
    "mut-base64-one-line": lambda t: b"\r\nContent-Transfer-Encoding: base64\r\n\r\n" in t and
    base64.b64decode(t.split(b"\r\n\r\n", 1)[1]) == BODY and
    t.split(b"\r\n\r\n", 1)[1].rstrip(b"\r\n").count(b"\n") == 0,
    "mut-closing-bare": lambda t: t == MULTIPART[:MULTIPART.index(b"--b--") + 5],
    "mut-trailing-blanks": lambda t: t.startswith(MAIL) and t.endswith(b"\r\n") and
    2 <= t[len(MAIL):].count(b"\r\n") <= 5 and not t[len(MAIL):].strip(b" \t\r\n"),
    "mut-private-stack": lambda t: t.endswith(MAIL) and 4 <= len(
        names(t[:len(t) - len(MAIL)])) <= 14 and set(names(t[:len(t) - len(MAIL)])) <= {
        line.split(b":", 1)[0].lower() for line in mutations.STACK_LINES + tuple(
            name + b":" for name in mutations.SIGNATURE_NAMES)},
    "mut-news-article": lambda t: names(t) == [b"path", b"newsgroups", b"from", b"subject",
                                               b"date", b"message-id"] and
    t.endswith(b"\r\n\r\n" + BODY),
    "mut-draft": lambda t: first_line(t) in mutations.DRAFT_FIELDS and b"Received" not in t and
    b"Message-ID" not in t and names(t)[-4:] == [b"from", b"to", b"subject", b"date"],
    "mut-odd-case-all": lambda t: t != MAIL and t.lower() == MAIL.lower() and t.endswith(BODY),
    "mut-mime-first": lambda t: names(t)[:2] == [b"mime-version", b"content-type"] and
    sorted(names(t)) == sorted(names(MIME_MAIL)),
    "mut-long-recipients": lambda t: first_line(t).startswith(b"To: ") and
    t.count(b"@example") >= 80 and b"bob@b.example" not in t and names(t).count(b"to") == 1,
    "mut-space-line": lambda t: 1 <= len(first_line(t)) <= 40 and not first_line(t).strip() and
    t.endswith(b"\r\n" + MAIL),
    "mut-space-line-cr-cr-lf": lambda t: not first_line(t).strip() and
    t.split(b"\r\r\n", 1)[1] == MAIL.replace(b"\r\n", b"\r\r\n"),
    "mut-headers-only": lambda t: t == HEADER + b"\r\n",
    "mut-text-boundary": lambda t: t.count(b"\tboundary=\"_NextPart_") == 1 and
    t.replace(t[t.index(b";\r\n\tboundary"):t.index(b"\r\n", t.index(b"\tboundary"))], b"") ==
    MIME_MAIL,
    "mut-text-boundary-dashed": lambda t: t.count(b"\tboundary=\"--") == 1 and
    t.endswith(b"\r\n\r\n" + t.rstrip(b"\r\n").rsplit(b"\r\n", 1)[1] + b"\r\n") and
    set(t.rstrip(b"\r\n").rsplit(b"\r\n", 1)[1]) == {ord("-")} and BODY.rstrip(b"\r\n") in t,
    **{case: (lambda lines: lambda t: opens_with_one_of(t, tuple(
        line % {b"to": b"bob@b.example", b"from": b"ann@a.example"} for line in lines)))(lines)
       for case, lines in mutations.OPENING_LINE_CASES.items()},
    "mut-long-names": lambda t: t.endswith(MAIL) and 1 <= len(names(t[:-len(MAIL)])) <= 3 and
    all(len(name) >= 48 for name in names(t[:-len(MAIL)])),
    "mut-one-line-to": lambda t: first_line(t).startswith(b"To: ") and
    len(first_line(t)) > 40 * 20 and b"bob@b.example" not in t and names(t).count(b"to") == 1,
    "mut-mbox-inside": lambda t: header_lines(t)[1] in mutations.MBOX_INSIDE_LINES and
    t.replace(header_lines(t)[1] + b"\r\n", b"", 1) == MAIL,
    "mut-export-banner": lambda t: t == mutations.BANNER_LINES[0] + b"\r\n" + MAIL,
    "mut-cr-only-body": lambda t: t == HEADER + b"\r\n" + BODY.replace(b"\r\n", b"\r"),
    "mut-cut-first-name": lambda t: t[t.index(b":"):] == MAIL[MAIL.index(b":"):] and
    4 <= t.index(b":") < len(b"Received") and MAIL[:len(b"Received")].endswith(
        t[:t.index(b":")]),
    # Several axes at once (combos_test.py checks them one by one): the sender stays.
    "mut-combo": lambda t: b"ann@a.example" in t,
    **{case: (lambda lines: lambda t: right_in_front_of_from(t, tuple(
        line % {b"to": b"bob@b.example", b"from": b"ann@a.example"} for line in lines)))(lines)
       for case, lines in mutations.MID_LINE_CASES.items()},
}
# Cases a multipart mail takes and a single part's text does not.
MULTIPART_ONLY = ("mut-closing-bare",)
# Cases whose body is not the mail's own body text, byte for byte.
BODY_CHANGED = ("mut-body-no-crlf", "mut-lf-header", "mut-lf-body", "mut-cr-only",
                "mut-header-at-end", "mut-tiny", "mut-bounce", *mutations.BODY_BYTE_CASES,
                "mut-cr-cr-lf", "mut-closing-no-newline", "mut-signature-end", "mut-qp-soft-end",
                "mut-base64-one-line", "mut-closing-bare", "mut-trailing-blanks",
                "mut-space-line-cr-cr-lf", "mut-headers-only", "mut-text-boundary-dashed",
                "mut-cr-only-body", "mut-combo")
# Cases that change only what the plain mail above lacks, and the mail they are tried on.
MIME_MAIL = MAIL.replace(b"Message-ID: <1@a.example>\r\n", b"Message-ID: <1@a.example>\r\n"
                         b"MIME-Version: 1.0\r\nContent-Type: text/plain\r\n")
INPUTS = {"mut-mime-first": MIME_MAIL, "mut-text-boundary": MIME_MAIL,
          "mut-text-boundary-dashed": MIME_MAIL}

# A last epilogue line without a line break, behind a multipart's text alone.
ROWS.update({case: (lambda lines: lambda t: t.startswith(MULTIPART) and
                    t[len(MULTIPART):].startswith(b"\r\n") and
                    t[len(MULTIPART) + 2:] in lines)(lines)
             for case, lines in (("mut-epilogue-name", mutations.SIGNED_NAMES),
                                 ("mut-epilogue-greeting", mutations.EPILOGUE_GREETINGS))})
MULTIPART_ONLY += tuple(mutations.EPILOGUE_END_CASES)
BODY_CHANGED += tuple(mutations.EPILOGUE_END_CASES)

# One to three lines named by fields no list of the scan holds, each half of the names apart.
ROWS.update({case: (lambda lines: lambda t: opens_with_one_of(t, lines))(lines)
             for case, lines in mutations.OTHER_NAME_CASES.items()})


def main():
    support.parse_arguments(__doc__.splitlines()[0])
    failures = []
    if set(ROWS) != set(mutations.MUTATIONS):
        failures.append(f"cases without a row: {set(mutations.MUTATIONS) ^ set(ROWS)}")
    for case, holds in ROWS.items():
        source = MULTIPART if case in MULTIPART_ONLY else INPUTS.get(case, MAIL)
        text, _fields = variants.apply(case, source, random.Random(5), MIXES["tuning"])
        if text == source or not holds(text):
            failures.append(f"{case}: {text[:160]!r}")
        if case not in BODY_CHANGED and not text.endswith(BODY):
            failures.append(f"{case}: the body changed")
    both, _fields = variants.apply("mut-tiny+no-trace", MAIL, random.Random(5), MIXES["tuning"])
    if b"Received:" in both or len(both) >= 100:
        failures.append(f"mut-tiny+no-trace: {both[:120]!r}")
    no_subject = MAIL.replace(b"Subject: plans for the week\r\n", b"")
    for case in ("mut-nul-field", "mut-blank-fold"):
        text, _fields = variants.apply(case, no_subject, random.Random(5), MIXES["tuning"])
        if text != no_subject:
            failures.append(f"{case} changed a mail without the field it changes")
    # A first field the mail can do without is replaced; From and the trace stay.
    opened = b"X-Mailer: Mutt 1.5\r\n" + MAIL
    for case in (*mutations.FIRST_LINE_CASES, *mutations.OTHER_NAME_CASES):
        text, _fields = variants.apply(case, opened, random.Random(5), MIXES["tuning"])
        if b"X-Mailer" in text or not text.endswith(MAIL):
            failures.append(f"{case} kept the first field it replaces: {text[:120]!r}")
    # A multipart mail gains no closing behind its closing boundary line.
    multipart = MAIL.replace(b"Message-ID: <1@a.example>\r\n", b"Message-ID: <1@a.example>\r\n"
                             b"Content-Type: multipart/mixed; boundary=b\r\n")
    text, _fields = variants.apply("mut-closing-no-newline", multipart, random.Random(5),
                                   MIXES["tuning"])
    if text != multipart:
        failures.append(f"mut-closing-no-newline changed a multipart mail: {text[-60:]!r}")
    # The last lines of a single part's text go on no multipart; the closing boundary is a
    # multipart's alone.
    for case, source in (("mut-signature-end", MULTIPART), ("mut-qp-soft-end", MULTIPART),
                         *((case, MAIL) for case in mutations.EPILOGUE_END_CASES),
                         ("mut-base64-one-line", MULTIPART), ("mut-closing-bare", MAIL)):
        text, _fields = variants.apply(case, source, random.Random(5), MIXES["tuning"])
        if text != source:
            failures.append(f"{case} changed a mail it does not fit: {text[-60:]!r}")
    for failure in failures:
        print("FAIL", failure)
    return support.FAIL if failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

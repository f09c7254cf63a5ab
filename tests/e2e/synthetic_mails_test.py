#!/usr/bin/env python3
"""Checks the image builder's mails of no corpus (tools/mkimage/synthetic.py): each structure
holds what its name promises, a seed always gives the same mails and another seed others, and
images built from them with `--synthetic` pass the builder's own checks of the truth.
"""

import pathlib
import re
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import synthetic, unseen_check  # noqa: E402

SEEDS = range(15000, 15012)
TEXT_BYTES = set(b"\t\r\n") | set(range(0x20, 0x7f))


def header_and_body(text):
    head, _blank, body = text.partition(b"\r\n\r\n")
    return head, body


def multipart_depth(text):
    return len(re.findall(rb"(?i)content-type: multipart/", text))


def has_field(text, name):
    return re.search(rb"(?im)^" + name + rb": ", header_and_body(text)[0]) is not None


# structure -> what every mail of it must hold.
PROMISES = {
    "uuencode": lambda t: re.search(rb"\r\nbegin 644 \S+\r\n(M.{60}\r\n)*.*\r\n`\r\nend\r\n",
                                    t, re.S) is not None,
    "binary-part": lambda t: b"Content-Transfer-Encoding: binary\r\n" in t and
    any(byte not in TEXT_BYTES for byte in header_and_body(t)[1]),
    "control-text": lambda t: re.search(rb"[\x00\x01\x0b\x1b\x7f]", header_and_body(t)[1])
    is not None and b"Transfer-Encoding: 8bit" in t,
    "8bit-long-lines": lambda t: max(map(len, t.split(b"\r\n"))) > 998,
    "bounce": lambda t: b"multipart/report" in t and b"message/delivery-status" in t and
    (b"message/rfc822" in t or b"text/rfc822-headers" in t),
    "calendar": lambda t: b"text/calendar" in t and b"\r\nEND:VCALENDAR\r\n" in t,
    "nested": lambda t: multipart_depth(t) >= 3,
    "preamble-epilogue": lambda t: b"\r\n\r\nThis is a multi-part message" in t and
    not t.endswith(b"--\r\n"),
    "odd-boundary": lambda t: re.search(rb'boundary="[^"]*[=_?:()+,./\'-][^"]*"', t) is not None,
    "base64-widths": lambda t: b"Content-Transfer-Encoding: base64" in t,
    "qp-long": lambda t: b"=\r\n" in t and
    max(map(len, header_and_body(t)[1].split(b"\r\n"))) <= 76,
    "8bit-headers": lambda t: any(byte >= 0x80 or byte == 0x1b
                                  for byte in header_and_body(t)[0]),
    "many-received": lambda t: len(re.findall(rb"(?m)^Received: ", t)) >= 12,
    "first-line": lambda t: not t.startswith((b"Received: ", b"From: ")),
    "no-date": lambda t: not has_field(t, b"Date"),
    "tiny-body": lambda t: 0 < len(header_and_body(t)[1]) <= 4,
    "headers-only": lambda t: header_and_body(t)[1] == b"" and has_field(t, b"From"),
    "big-attachment": lambda t: len(t) > 64 << 10,
    "encoded-words": lambda t: b"=?UTF-8?B?" in t and b"?=\r\n =?UTF-8?B?" in t,
    "forwarded": lambda t: b"Content-Type: message/rfc822" in t and
    header_and_body(t)[1].startswith(b"Received: ") and not t.startswith(b"Received: "),
    "html-only": lambda t: b"text/html" in t and b"multipart" not in t,
    "smime-signed": lambda t: b"multipart/signed" in t and
    b"application/pkcs7-signature" in t and b"smime.p7s" in t,
    "smime-opaque": lambda t: b"Content-Type: application/pkcs7-mime; smime-type=" in t and
    b"Content-Transfer-Encoding: base64" in header_and_body(t)[0],
    "pgp-mime": lambda t: (b"multipart/signed" in t or b"multipart/encrypted" in t) and
    re.search(rb"\r\n-----BEGIN PGP (SIGNATURE|MESSAGE)-----\r\n", t) is not None,
    "pgp-inline": lambda t: b"multipart" not in t and
    re.search(rb"\r\n\r\n-----BEGIN PGP ", t) is not None and t.endswith(b"-----\r\n"),
    "tnef": lambda t: b'application/ms-tnef; name="winmail.dat"' in t,
    "format-flowed": lambda t: b"format=flowed" in t and b" \r\n" in header_and_body(t)[1],
    "inline-images": lambda t: b"multipart/related" in t and b"multipart/alternative" in t and
    all(cid in t for cid in re.findall(rb"cid:([^\"]+)", t)) and b"Content-ID: <" in t,
    "digest": lambda t: b"multipart/digest" in t and
    len(re.findall(rb"\r\n\r\nFrom: ", header_and_body(t)[1])) >= 2,
    "read-receipt": lambda t: b"message/disposition-notification" in t,
    "lf-body": lambda t: b"\r" not in t.partition(b"\r\n\r\n")[2] if b"\r\n\r\n" in t else
    b"\r" not in t.partition(b"\n\n")[0] and b"\r\n" in t.partition(b"\n\n")[2],
    "long-header-line": lambda t: max(map(len, header_and_body(t)[0].split(b"\r\n"))) > 998,
    "lower-case": lambda t: re.search(rb"(?m)^from: ", t) is not None and
    re.search(rb"(?m)^[A-Z][\w-]*:", header_and_body(t)[0]) is None,
    "no-blank": lambda t: re.search(rb"(?m)^Subject:\S", t) is not None,
    "tab-folding": lambda t: re.search(rb"(?m)^Subject: .*\r\n\t\S", t) is not None,
    "address-list": lambda t: re.search(rb"(?m)^(To|Cc|Bcc): (.*,\r\n ){24}", t) is not None,
    "signing-fields": lambda t: len(re.findall(
        rb"(?m)^(DKIM-Signature|ARC-Seal|ARC-Authentication-Results|Autocrypt): ", t)) >= 2 and
    re.search(rb"\r\n\t? [A-Za-z0-9+/]{60,}\r\n", header_and_body(t)[0]) is not None,
    "exchange-fields": lambda t: b"Thread-Index: " in t and b"X-MS-Exchange-" in t,
    "list-fields": lambda t: all(has_field(t, name) for name in (b"List-Id", b"List-Unsubscribe",
                                                                  b"List-Post")),
    "8bit-no-charset": lambda t: b"charset" not in t and b"Content-Type" not in t and
    any(byte >= 0x80 for byte in header_and_body(t)[1]),
    "rule-lines": lambda t: re.search(rb"\r\n([-=_*])\1{39,}\r\n", t) is not None,
    "blank-tail": lambda t: t.endswith(b"\r\n\r\n"),
    "date-first": lambda t: re.search(rb"(?m)^Date: ", t).start() <
    re.search(rb"(?m)^From: ", t).start(),
    "odd-date": lambda t: re.search(
        rb"(?m)^Date: \w{3}, \d{1,2} \w{3} \d{4} \d\d:\d\d:\d\d [-+]\d{4}\r\n", t) is None,
}


def check_structures(failures):
    if set(PROMISES) != set(synthetic.STRUCTURES):
        failures.append(f"structures without a promise or gone: "
                        f"{sorted(set(PROMISES) ^ set(synthetic.STRUCTURES))}")
    count = 3 * len(synthetic.STRUCTURES)
    for seed in SEEDS:
        mails = synthetic.synthetic_mails(seed, count)
        if mails != synthetic.synthetic_mails(seed, count):
            failures.append(f"seed {seed}: the same seed gave other mails")
        if mails == synthetic.synthetic_mails(seed + 1000, count):
            failures.append(f"seed {seed}: another seed gave the same mails")
        for name, text in mails:
            structure = name[5:-4]
            promise = PROMISES.get(structure)
            if promise is not None and not promise(text):
                failures.append(f"seed {seed} {name}: not what it says: {text[:120]!r}")
            target = has_field(text, b"From") and has_field(text, b"Date")
            if target == (structure == "no-date"):
                failures.append(f"seed {seed} {name}: From and Date {target}")


def check_images(source_dir, failures):
    with tempfile.TemporaryDirectory(prefix="synthetic-") as scratch:
        work = pathlib.Path(scratch)
        for number, (layout, mix, case) in enumerate((("glued", "tuning", None),
                                                      ("sector", "held-out", None),
                                                      ("slack", "held-out", None),
                                                      ("glued-chunk", "tuning", None),
                                                      ("disk", "held-out", "no-trace"))):
            seed = 15100 + number
            count = 2 * len(synthetic.STRUCTURES)
            extra = ["--synthetic", str(count), "--mix", mix] + (["--case", case] if case else [])
            image, truth = support.build_image(source_dir, work, f"{layout}-{mix}", layout, [],
                                               seed=seed, extra=extra)
            originals = dict(synthetic.synthetic_mails(seed, count))
            found, _checks = unseen_check.check_image(image, truth, originals,
                                                      f"{layout}/{mix}/{seed}")
            failures += found
            if truth["mail_count"] != count:
                failures.append(f"{layout}: {truth['mail_count']} mails laid out of {count}")
            image.unlink()


def main():
    options = support.parse_arguments(__doc__.splitlines()[0])
    failures = []
    check_structures(failures)
    check_images(options.source_dir, failures)
    for failure in failures[:40]:
        print("FAIL", failure)
    return support.FAIL if failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

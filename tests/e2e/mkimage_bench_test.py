#!/usr/bin/env python3
"""The image builder's benchmark layouts (bench-dense, bench-attachments, bench-text,
bench-random, bench-zeros), built small from the demo mails and, when present, the corpus:

- every image has exactly the size asked for, and the same seed gives the same bytes;
- dense: each mail lies behind a mailbox separator line, right behind the previous mail's
  blank line within a mailbox file; a reused input keeps its body byte for byte and gains one
  trace line where it had one; some mails are exact copies, most reuses are mails of their own;
- attachments: each mail starts a cluster behind a NUL; the attachment the truth names decodes
  from the image to the size and name it gives; the mails with one make up most of the bytes;
- text, random, zeros: no mail, no trace line; text is CR LF lines only, zeros only zeros;
- the truth holds for every layout: trace lines where it says, none outside a mail, and the
  model walk (tools/mkimage/walk.py) reports every strictly expected mail.
"""

import email
import email.policy
import hashlib
import pathlib
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402
import mkimage_test as base  # noqa: E402

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE_DIR / "tools"))
from mkimage import bench_mails, layouts  # noqa: E402

MIB = 1 << 20
SIZES = {"bench-dense": 3 * MIB, "bench-attachments": 6 * MIB, "bench-text": 3 * MIB + 517,
         "bench-random": 2 * MIB, "bench-zeros": MIB + 1}


def header_and_body(text):
    end = text.find(b"\r\n\r\n")
    return (text, b"") if end < 0 else (text[:end + 2], text[end + 2:])


def trace_lines(header):
    return sum(1 for field in bench_mails.split_fields(header)
               if bench_mails.field_named(field, b"received:"))


def check_dense(image, truth, originals, checker, context):
    separator = layouts.MBOX_SEPARATOR
    mails = truth["mails"]
    checker.expect(len(mails) * 40_000 > len(image), context,
                   f"only {len(mails)} mails in {len(image)} bytes: not dense")
    for previous, mail in zip([None, *mails], mails):
        where = f"{context} {mail['file']} at {mail['start']}"
        checker.expect(image[mail["start"] - len(separator):mail["start"]] == separator, where,
                       "no mailbox separator line in front")
        if previous is not None and previous["end"] + 4096 > mail["start"]:
            gap = image[previous["end"]:mail["start"] - len(separator)]
            checker.expect(gap in (b"\r\n", b"\r\n\r\n"), where,
                           f"{len(gap)} bytes between it and the mail before, not a blank line")
        text = layouts.unescape_mbox(image[mail["start"]:mail["end"]])
        original = originals[mail["file"]]
        if not mail["varied"]:
            checker.expect(text == original, where, "an unvaried mail differs from its input")
            continue
        (header, body), (original_header, original_body) = (header_and_body(text),
                                                            header_and_body(original))
        checker.expect(body == original_body, where, "a reuse changed the body")
        had = trace_lines(original_header)
        checker.expect(trace_lines(header) == had + (1 if had else 0), where,
                       "a reuse did not gain exactly one trace line")
    copies = sum(1 for mail in mails if mail["copy_of"] is not None)
    texts = {image[mail["start"]:mail["end"]] for mail in mails}
    checker.expect(copies > 0, context, "no exact copy among the mails")
    checker.expect(len(texts) >= len(mails) * 8 // 10, context,
                   f"only {len(texts)} different texts among {len(mails)} mails")


def check_attachments(image, truth, checker, context):
    with_attachment = [mail for mail in truth["mails"] if mail["attachment"]]
    checker.expect(with_attachment, context, "no mail carries an attachment")
    for mail in truth["mails"]:
        where = f"{context} {mail['file']} at {mail['start']}"
        checker.expect(mail["start"] % 4096 == 0 and image[mail["start"] - 1] == 0, where,
                       "not at a cluster start behind a NUL")
    for mail in with_attachment:
        where = f"{context} {mail['file']} at {mail['start']}"
        message = email.message_from_bytes(image[mail["start"]:mail["end"]],
                                           policy=email.policy.compat32)
        parts = [part for part in message.walk() if part.get_filename()
                 == mail["attachment"]["name"]]
        checker.expect(len(parts) == 1, where, "the named attachment is not one part")
        if parts:
            payload = parts[0].get_payload(decode=True)
            checker.expect(len(payload) == mail["attachment"]["size"], where,
                           f"attachment decodes to {len(payload)} bytes, not "
                           f"{mail['attachment']['size']}")
            checker.expect(parts[0].get_content_type() == mail["attachment"]["type"], where,
                           "attachment has another media type")
    attached = sum(mail["end"] - mail["start"] for mail in with_attachment)
    others = sum(mail["end"] - mail["start"] for mail in truth["mails"]
                 if not mail["attachment"])
    checker.expect(attached > 4 * others, context, "the attachments are not most of the mail")


def check_plain(image, layout, checker, context):
    checker.expect(b"received" not in image.lower(), context, "a trace line in an image without")
    if layout == "bench-zeros":
        checker.expect(image.count(0) == len(image), context, "a byte other than zero")
    elif layout == "bench-text":
        lines = image.split(b"\r\n")[:-1]  # the last one may be cut off by the image end
        checker.expect(all(line.isascii() and b"\r" not in line and b"\n" not in line
                           for line in lines), context, "not CR LF text lines only")


def check_layout(work, name, inputs, layout, checker):
    context = f"{name}/{layout}"
    size = SIZES[layout]
    path, truth = support.build_image(SOURCE_DIR, work, f"{name}-{layout}", layout, inputs,
                                      extra=("--size", str(size)))
    image = base.read_image(path)
    checker.expect(len(image) == size == truth["image_size"], context,
                   f"{len(image)} bytes, asked for {size}")
    extents = support.MailExtents(truth)
    base.check_traces(image, truth, extents, checker, context)
    base.check_no_trace_in_noise(path, truth, extents, checker, context)
    base.check_reference_walk(path, truth, extents, checker, context)
    if layout == "bench-dense":
        check_dense(image, truth, base.originals_of(inputs), checker, context)
    elif layout == "bench-attachments":
        check_attachments(image, truth, checker, context)
    else:
        checker.expect(truth["mail_count"] == 0, context, "mails in an image without")
        check_plain(image, layout, checker, context)
    print(f"{context}: {truth['mail_count']} mails, {truth['strict_expected_count']} strictly "
          f"expected, {len(image)} bytes")
    return hashlib.sha256(image).hexdigest()


def main():
    options = support.parse_arguments(__doc__)
    checker = base.Checker()
    input_sets = [("demo", [SOURCE_DIR / "tools" / "demo-mails"])]
    corpus = support.corpus_dir(options.source_dir)
    if corpus is not None:
        input_sets.append(("corpus", [corpus]))
    with tempfile.TemporaryDirectory(prefix="mkimage-bench-") as folder:
        work = pathlib.Path(folder)
        for name, inputs in input_sets:
            for layout in SIZES:
                digest = check_layout(work, name, inputs, layout, checker)
                if layout == "bench-dense":
                    again = check_layout(work, name, inputs, layout, checker)
                    checker.expect(digest == again, f"{name}/{layout}",
                                   "the same seed gave different bytes")
    for failure in checker.failures[:40]:
        print(f"FAIL {failure}")
    print(f"{checker.checks} checks, {len(checker.failures)} failed")
    return support.FAIL if checker.failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

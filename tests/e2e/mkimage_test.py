#!/usr/bin/env python3
"""Checks the test-image builder (tools/quillon-mkimage) against the bytes it writes.

For every layout, built from our demo mails and, when present, from the whole corpus: each mail
lies in the image byte for byte (store chains decode back to the mail, mbox quoting undoes),
every trace_offset holds a "Received: " line behind a CR LF, no trace line lies outside a mail,
and a plain model of the scanner's walk (tools/mkimage/walk.py), run with and without block
removal in followed bodies, reports every strictly expected mail exactly once where the truth
says. Layout promises are checked too (clusters, the trailing partial sector, chunk boundaries
inside header blocks, shifts, determinism, benchmark speed), and the truth rules at their
limits on hand-made mails.
"""

import hashlib
import mmap
import pathlib
import random
import re
import resource
import struct
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE_DIR / "tools"))
from mkimage import end_cases, layouts, mailtext, walk  # noqa: E402

CHUNK = 1 << 20
SHIFT = CHUNK - 517          # odd: crosses a sector and a chunk boundary
STORE_SHIFT = CHUNK - 516    # stores keep 4-byte alignment
MAX_PRINTED = 20


class Checker:
    def __init__(self):
        self.failures = []
        self.checks = 0

    def expect(self, condition, context, message):
        self.checks += 1
        if not condition:
            self.failures.append(f"{context}: {message}")
        return bool(condition)


def read_image(path):
    with open(path, "rb") as file:
        return file.read()


def originals_of(inputs):
    return {path.name: path.read_bytes()
            for folder in inputs for path in support.mail_files(folder)}


# Checks on one built image.

def check_mail_bytes(image, truth, originals, checker, context):
    store_base = truth.get("store_base")
    for mail in truth["mails"]:
        where = f"{context} {mail['file']}"
        original = originals[mail["file"]]
        if truth["layout"] == "dbx":
            data = bytearray()
            pieces = []
            chain = mail["store_chain"]
            for index, offset in enumerate(chain):
                header = image[store_base + offset:store_base + offset + 16]
                own, size, used, following = struct.unpack("<IIII", header)
                checker.expect(own == offset and size == 0x200 and header[5:8] == b"\x02\x00\x00",
                               where, f"block at {offset} has header {header.hex()}")
                expected_next = chain[index + 1] if index + 1 < len(chain) else 0
                checker.expect(following == expected_next, where,
                               f"block at {offset} links to {following}, not {expected_next}")
                start = store_base + offset + 16
                data += image[start:start + used]
                pieces.append([start, start + used])
            checker.expect(bytes(data) == original, where,
                           "store chain does not decode to the mail")
            checker.expect(pieces == mail["pieces"], where, "pieces differ from the chain")
        elif truth["layout"] == "mbox":
            separator = layouts.MBOX_SEPARATOR
            checker.expect(image[mail["start"] - len(separator):mail["start"]] == separator,
                           where, "no mbox separator line before the mail")
            checker.expect(layouts.unescape_mbox(image[mail["start"]:mail["end"]]) == original,
                           where, "unquoted mbox text differs from the mail")
        else:
            checker.expect(image[mail["start"]:mail["end"]] == original, where,
                           "image bytes differ from the mail")


def check_traces(image, truth, extents, checker, context):
    for index, mail in enumerate(truth["mails"]):
        where = f"{context} {mail['file']}"
        trace = mail["trace_offset"]
        if mail["strict_expected"]:
            checker.expect(trace is not None and mail["has_from"] and mail["has_to"]
                           and mail["has_date"] and mail["header_end"] is not None, where,
                           "strictly expected without trace line, From, To, Date or header end")
        if trace is None:
            continue
        checker.expect(image[trace:trace + 10].lower() == b"received: ", where,
                       f"no 'Received: ' at trace_offset {trace}")
        checker.expect(image[trace - 2:trace] == b"\r\n", where, "trace line not behind a CR LF")
        checker.expect(extents.mail_at(trace) == index, where, "trace_offset outside the mail")
        if mail["strict_expected"]:
            gap = mail["header_end"] // 512 - trace // 512
            checker.expect(0 <= gap <= 8, where,
                           f"strict although the header ends {gap} sectors on")


def check_no_trace_in_noise(path, truth, extents, checker, context):
    """Every CR LF "Received: " in the image belongs to a mail: the filler must never make one."""
    pattern = re.compile(rb"\r\n[Rr][Ee][Cc][Ee][Ii][Vv][Ee][Dd]: ")
    stray = []
    with open(path, "rb") as file, mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_READ) as data:
        for match in pattern.finditer(data):
            if extents.mail_at(match.start() + 2) is None:
                stray.append(match.start() + 2)
    checker.expect(not stray, context, f"trace lines outside every mail at {stray[:10]}")


def check_reference_walk(path, truth, extents, checker, context):
    promises = [("strict", [mail for mail in truth["mails"] if mail["strict_expected"]])]
    if truth["layout"] == "dbx":
        promises.append(("across blocks", [mail for mail in truth["mails"]
                                           if mail["expected_across_blocks"]]))
    for strip_in_body in (False, True):
        where = f"{context} (walk, strip in body {'on' if strip_in_body else 'off'})"
        records = walk.walk_image(path, strip_in_body)
        counts = {}
        for record in records:
            counts[record] = counts.get(record, 0) + 1
        for promise, mails in promises:
            missed = [(mail["file"], sum(counts.get(at, 0)
                                         for at in support.expected_positions(truth, mail)))
                      for mail in mails]
            missed = [entry for entry in missed if entry[1] != 1]
            checker.expect(not missed, where, f"{len(missed)} {promise} mails not recorded once: "
                                              f"{missed[:MAX_PRINTED]}")
        outside = [record for record in records if extents.mail_at(record) is None]
        checker.expect(not outside, where, f"records outside every mail: {outside[:MAX_PRINTED]}")


def check_deleted(image, truth, checker, context):
    for mail in truth["mails"]:
        checker.expect((mail["start"] - truth["shift"]) % 4096 == 0, f"{context} {mail['file']}",
                       "mail does not start at a cluster boundary")
        checker.expect(image[mail["start"] - 1] != 0x0A, f"{context} {mail['file']}",
                       "mail follows a line break")


def check_tail(image, truth, checker, context):
    size = truth["image_size"]
    last = truth["mails"][-1]
    checker.expect(size % 512 != 0, context, f"image size {size} is a multiple of 512")
    checker.expect(last["end"] == size, context, "the image does not end with the last mail")
    checker.expect(last["strict_expected"], context, "the last mail is not strictly expected")
    checker.expect(last["header_end"] is not None and last["header_end"] // 512 == size // 512,
                   context, "the last mail's header does not end in the partial sector")


def check_straddle(truth, checker, context):
    kinds = {}
    for mail in truth["mails"]:
        where = f"{context} {mail['file']}"
        boundary = mail["boundary"]
        kinds[mail["cut"]] = kinds.get(mail["cut"], 0) + 1
        header_end = mail["header_end"] if mail["header_end"] is not None else mail["end"]
        checker.expect(boundary % CHUNK == 0, where, "boundary is not a chunk boundary")
        checker.expect(mail["start"] <= boundary <= header_end + 2, where,
                       "the chunk boundary does not cut the header block")
        trace = mail["trace_offset"]
        if trace is None:
            continue
        expected = {"crlf-before-received": lambda: boundary == trace - 1,
                    "before-crlf": lambda: boundary == trace - 2,
                    "at-received": lambda: boundary == trace,
                    "inside-received": lambda: trace < boundary < trace + 10,
                    "after-received": lambda: trace + 10 <= boundary,
                    "inside-header-end": lambda: abs(boundary - mail["header_end"]) <= 1}
        if mail["cut"] in expected:
            checker.expect(expected[mail["cut"]](), where,
                           f"cut {mail['cut']} at {boundary} does not match trace {trace}")
    if len(truth["mails"]) >= 4:
        for kind in ("crlf-before-received", "inside-received", "after-received"):
            checker.expect(kinds.get(kind, 0) > 0, context, f"no mail cut as {kind}: {kinds}")


def check_dbx(image, truth, checker, context):
    base = truth["store_base"]
    checker.expect(base % 4096 == (truth["shift"] % 4096), context, "store not at a cluster")
    if truth.get("fragment"):
        shuffled = any(chain != sorted(chain) for chain in
                       (mail["store_chain"] for mail in truth["mails"]) if len(chain) > 1)
        checker.expect(shuffled or all(len(mail["store_chain"]) == 1 for mail in truth["mails"]),
                       context, "--fragment left every chain in store order")


def check_bench(image, truth, checker, context, size, mails):
    checker.expect(truth["image_size"] == size, context, f"size {truth['image_size']} != {size}")
    checker.expect(len(truth["mails"]) >= mails * 9 // 10, context,
                   f"only {len(truth['mails'])} of {mails} mails placed")
    for mail in truth["mails"]:
        checker.expect(mail["start"] % 4096 == 0 and image[mail["start"] - 1] != 0x0A,
                       f"{context} {mail['file']}", "mail not at a cluster boundary")


def check_built(path, truth, originals, checker, context):
    image = read_image(path)
    checker.expect(len(image) == truth["image_size"], context, "image size differs from truth")
    extents = support.MailExtents(truth)
    check_mail_bytes(image, truth, originals, checker, context)
    check_traces(image, truth, extents, checker, context)
    check_no_trace_in_noise(path, truth, extents, checker, context)
    check_reference_walk(path, truth, extents, checker, context)
    return image


def check_layouts(work, name, inputs, checker):
    originals = originals_of(inputs)
    cases = (("deleted", "deleted", ()), ("dbx", "dbx", ()),
             ("dbx-fragment", "dbx", ("--fragment",)), ("mbox", "mbox", ()),
             ("straddle", "straddle", ()), ("tail", "tail", ()))
    for case, layout, extra in cases:
        context = f"{name}/{case}"
        started = time.monotonic()
        path, truth = support.build_image(SOURCE_DIR, work, f"{name}-{case}", layout, inputs,
                                          extra=extra)
        checker.expect(len(truth["mails"]) == len(originals), context, "not every input placed")
        image = check_built(path, truth, originals, checker, context)
        if layout == "deleted":
            check_deleted(image, truth, checker, context)
        elif layout == "tail":
            check_tail(image, truth, checker, context)
        elif layout == "straddle":
            check_straddle(truth, checker, context)
        elif layout == "dbx":
            check_dbx(image, truth, checker, context)
        across = ""
        if layout == "dbx":
            across = f", {sum(m['expected_across_blocks'] for m in truth['mails'])} across blocks"
        print(f"{context}: {truth['mail_count']} mails, {truth['strict_expected_count']} strictly "
              f"expected{across}, {truth['image_size']} bytes "
              f"({time.monotonic() - started:.1f} s)")
        path.unlink()


def check_shift(work, name, inputs, layout, shift, extra, checker):
    context = f"{name}/{layout} shift {shift}"
    plain_path, plain = support.build_image(SOURCE_DIR, work, f"{name}-plain", layout, inputs,
                                            extra=extra)
    moved_path, moved = support.build_image(SOURCE_DIR, work, f"{name}-moved", layout, inputs,
                                            shift=shift, extra=extra)
    plain_image = read_image(plain_path)
    moved_image = read_image(moved_path)
    checker.expect(moved_image[shift:] == plain_image, context,
                   "the shifted image is not the plain image behind the shift")
    for before, after in zip(plain["mails"], moved["mails"]):
        where = f"{context} {before['file']}"
        for key in ("start", "end", "trace_offset", "header_end"):
            if before[key] is None:
                checker.expect(after[key] is None, where, f"{key} appears with the shift")
            else:
                checker.expect(after[key] == before[key] + shift, where, f"{key} moved wrongly")
        if before["strict_expected"] != after["strict_expected"]:
            # Only the sector-counted header limit may change with the sector boundaries.
            checker.expect("sectors after" in before["reason"] + after["reason"], where,
                           f"strictness changed: {before['reason']!r} / {after['reason']!r}")
    check_built(moved_path, moved, originals_of(inputs), checker, context)
    plain_path.unlink()
    moved_path.unlink()


def check_determinism(work, inputs, checker):
    digests = []
    for run, seed in enumerate((7, 7, 8)):
        path, truth = support.build_image(SOURCE_DIR, work, f"seed-{run}", "deleted", inputs,
                                          seed=seed)
        digests.append(hashlib.sha256(read_image(path)).hexdigest())
        path.unlink()
    checker.expect(digests[0] == digests[1], "determinism", "the same seed gave different images")
    checker.expect(digests[0] != digests[2], "determinism", "another seed gave the same image")


def check_bench_layout(work, inputs, checker):
    size, mails = 32 << 20, 60
    # The builder's own processor time, so that a machine busy with other work does not fail it.
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    path, truth = support.build_image(SOURCE_DIR, work, "bench", "bench", inputs,
                                      extra=("--size", str(size), "--mails", str(mails)))
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    seconds = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    seconds_per_gib = seconds * (1 << 30) / size
    checker.expect(seconds_per_gib < 60, "bench", f"{seconds_per_gib:.0f} s per GiB is too slow")
    image = check_built(path, truth, originals_of(inputs), checker, "bench")
    check_bench(image, truth, checker, "bench", size, mails)
    print(f"bench: {len(truth['mails'])} mails in {size >> 20} MiB, about "
          f"{seconds_per_gib:.1f} s per GiB to build")
    path.unlink()


# The truth rules at their limits, on hand-made mails. Each mail is placed behind a zero byte,
# and the model walk must agree with the truth.

def header_mail(before, after, received=b"Received: from a.example.net by b.example.org\r\n",
                body=b"Body text.\r\n"):
    return (b"Return-Path: <a@example.net>\r\n" + before + received + after + b"\r\n" + body)


FROM_TO_DATE = (b"From: a@example.net\r\nTo: b@example.org\r\n"
                b"Date: Mon, 1 Jan 2001 00:00:00 +0000\r\n")


def filler_lines(length):
    """Header lines of exactly `length` bytes (length 0 or at least 12)."""
    if length == 0:
        return b""
    count = -(-length // 212)
    sizes = [length // count] * count
    sizes[-1] += length - sum(sizes)
    return b"".join(b"X-Filler: " + b"f" * (size - 12) + b"\r\n" for size in sizes)


def gap_mail(end_sector_offset):
    """A mail whose closing empty line lies in the sector `end_sector_offset` sectors after the
    sector of its Received line (the mail sits at image byte 1, the Received line in sector 0),
    on the last byte of that sector or the first of the next."""
    head = header_mail(b"", FROM_TO_DATE, body=b"")
    fixed = len(head) - 2  # without the closing empty line
    if end_sector_offset == 8:
        header_end = 9 * 512 - 1 - 1
    else:
        header_end = 9 * 512 - 1
    return head[:-2] + filler_lines(header_end - fixed) + b"\r\nBody.\r\n"


LIMIT_CASES = (
    # name, mail, index of the trace line (None: no trace), strictly expected, found by the walk
    ("plain", header_mail(b"", FROM_TO_DATE), 1, True, True),
    ("lower-case received",
     header_mail(b"", FROM_TO_DATE, received=b"received: from x.example.net\r\n"), 1, True, True),
    # The walk steps over an empty line a message opens with; two would hide the line.
    ("opens with an empty line", b"\r\n" + header_mail(b"", FROM_TO_DATE), 1, True, True),
    ("opens with a line of blanks", b"  \r\n" + header_mail(b"", FROM_TO_DATE), 1, True, True),
    ("received without blank", header_mail(b"", FROM_TO_DATE,
                                           received=b"Received:from x.example.net\r\n"),
     None, False, False),
    ("received first line only", FROM_TO_DATE.join((b"Received: from x\r\n", b"\r\nBody\r\n")),
     None, False, False),
    ("last of three received", header_mail(b"Received: from c\r\nReceived: from d\r\n",
                                           FROM_TO_DATE), 3, True, True),
    ("from before received",
     header_mail(b"From: a@example.net\r\n", FROM_TO_DATE[21:]), 2, False, False),
    ("no date", header_mail(b"", b"From: a@example.net\r\nTo: b@example.org\r\n"), 1, False, False),
    ("from value 511 bytes", header_mail(b"", b"From: " + b"a" * 511 + b"\r\n" + FROM_TO_DATE[21:]),
     1, True, True),
    ("from value 512 bytes", header_mail(b"", b"From: " + b"a" * 512 + b"\r\n" + FROM_TO_DATE[21:]),
     1, False, False),
    ("from value behind a tab", header_mail(b"", b"From: \ta@example.net\r\n" + FROM_TO_DATE[21:]),
     1, False, False),
    # The truth refuses any NUL in the header block, although the walk accepts this one.
    ("NUL in header", header_mail(b"", FROM_TO_DATE + b"X-Odd: a\x00b\r\n"), 1, False, True),
    ("header ends 8 sectors on", gap_mail(8), 1, True, True),
    ("header ends 9 sectors on", gap_mail(9), 1, False, False),
)


def check_limits(checker):
    for name, text, trace_line, strict, found in LIMIT_CASES:
        analysis, lines, _end = layouts.plan(text)
        expected_trace = None if trace_line is None else lines[trace_line][0] + 1
        checker.expect(analysis["trace_offset"] == expected_trace, name,
                       f"trace {analysis['trace_offset']}, expected {expected_trace}")
        checker.expect(analysis["strict_expected"] == strict, name,
                       f"strict {analysis['strict_expected']} ({analysis['reason']})")
        for strip_in_body in (False, True):
            records = walk.walk(bytearray(b"\x00" + text), strip_in_body)
            checker.expect(records == ([expected_trace] if found else []), name,
                           f"model walk recorded {records}")

    # A "Received: " line is seen behind an odd run of CR LF pairs only.
    for before, seen in ((b"", False), (b"\r\n", True), (b"x\r\n", True), (b"x\r\n\r\n", False),
                         (b"x\r\n\r\n\r\n", True), (b"x\n", False), (b"x\r", False)):
        data = before + b"Received: "

        def reader(start, end, data=data):
            return data[start:end]
        checker.expect(mailtext.crlf_ends_nonempty_line(reader, len(before)) == seen,
                       f"line start behind {before!r}", f"expected seen={seen}")
        records = walk.walk(bytearray(data + b"\r\n" + FROM_TO_DATE + b"\r\n"), False)
        checker.expect((records == [len(before)]) == seen, f"walk behind {before!r}",
                       f"model walk recorded {records}")

    # ValueText reads at most 511 bytes up to the first byte below 0x0E.
    for value, stop, expected in ((b"a" * 511, b"\r", b"a" * 511), (b"a" * 512, b"\r", b""),
                                  (b"ab", b"\t", b"ab"), (b"\xe4\xff", b"\x0d", b"\xe4\xff"),
                                  (b"x\x0e", b"\x0d", b"x\x0e")):
        got = mailtext.value_text(value + stop + b"\r\n" + b"z" * 600, 0)
        checker.expect(got == expected, f"value of {len(value)} bytes + {stop!r}",
                       f"got {got[:20]!r}")

    # mboxrd quoting and its inverse.
    for text, quoted in ((b"From x\r\n", b">From x\r\n"),
                         (b"a\r\n>From x\r\n", b"a\r\n>>From x\r\n"),
                         (b"Fromage\r\n", b"Fromage\r\n"), (b"a\r\nFrom\r\n", b"a\r\nFrom\r\n"),
                         (b"a\r\nFrom b\r\n", b"a\r\n>From b\r\n")):
        checker.expect(layouts.escape_mbox(text) == quoted, f"mbox quoting of {text!r}",
                       f"got {layouts.escape_mbox(text)!r}")
        checker.expect(layouts.unescape_mbox(quoted) == text, f"mbox unquoting of {quoted!r}",
                       f"got {layouts.unescape_mbox(quoted)!r}")


def check_end_cases(inputs, checker):
    """Every end case keeps the mail's header block, changes its text only behind it, and gives
    the shape it names."""
    for path in sorted(pathlib.Path(inputs).glob("*.eml")):
        text = path.read_bytes()
        _start, _lines, header_end = mailtext.shape_lines(text)
        for case in end_cases.END_CASES:
            context = f"{case} of {path.name}"
            changed = end_cases.apply(case, text, random.Random(case))
            if changed == text:
                continue
            checker.expect(header_end is not None and
                           changed[:header_end] == text[:header_end], context,
                           "the header block changed")
            if case == "end-cluster-end":
                checker.expect(len(changed) % 4096 == 0, context, "no whole clusters")
            elif case == "end-no-final-newline":
                checker.expect(not changed.endswith(b"\n"), context, "a line break at the end")
            else:
                checker.expect(len(changed) > len(text), context, "nothing put in")


def main():
    options = support.parse_arguments(__doc__)
    checker = Checker()
    demo = SOURCE_DIR / "tools" / "demo-mails"
    input_sets = [("demo", [demo])]
    corpus = support.corpus_dir(options.source_dir)
    if corpus is not None:
        input_sets.append(("corpus", [corpus]))
    else:
        print("corpus not found: checking the builder with the demo mails only")

    check_limits(checker)
    # Run by hand without a build tree, scratch files go to the system's temporary folder.
    build_dir = options.build_dir if options.build_dir_given else \
        pathlib.Path(tempfile.gettempdir())
    with support.ScratchDir(build_dir, "mkimage", options.keep) as scratch:
        work = scratch.path
        for name, inputs in input_sets:
            check_layouts(work, name, inputs, checker)
            check_shift(work, name, inputs, "deleted", SHIFT, (), checker)
            check_shift(work, name, inputs, "dbx", STORE_SHIFT, ("--fragment",), checker)
        check_determinism(work, [demo], checker)
        check_end_cases(demo, checker)
        check_bench_layout(work, [demo], checker)
        passed = not checker.failures
        scratch.finish(passed)

    for failure in checker.failures[:60]:
        print(f"FAIL {failure}")
    if len(checker.failures) > 60:
        print(f"... and {len(checker.failures) - 60} more failures")
    print(f"{checker.checks} checks, {len(checker.failures)} failed")
    return support.PASS if passed else support.FAIL


if __name__ == "__main__":
    sys.exit(main())

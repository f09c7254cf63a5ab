"""Checks a mixed-layout image against its ground truth and the input mails.

Each mail lies where the truth says (store chains follow their block headers, mbox messages
sit behind a separator line and unquote), holds its input mail in the way its case promises,
and sits at the kind of place the truth names; copies name an earlier copy of the same mail;
no trace line and no decoy lies outside the mails; and the plain model of the scanner's walk
(walk.py) reports every strictly expected mail exactly once where the truth says.

Run by `quillon-mkimage --self-test` (after tests/e2e/mkimage_test.py) on the demo mails and,
when present, the corpus; tests/e2e/recovery_test.py runs `check_image` on its own image.
"""

import bisect
import hashlib
import json
import mmap
import os
import pathlib
import re
import struct
import subprocess
import sys
import tempfile

from . import cases, layouts, mailtext, walk

CRLF = b"\r\n"
STORE_MOVE = 16
_TRACE_LINE = re.compile(rb"\r\n[Rr][Ee][Cc][Ee][Ii][Vv][Ee][Dd]: ")


def laid_out_text(image, mail):
    return b"".join(image[start:end] for start, end in
                    mail.get("pieces") or [[mail["start"], mail["end"]]])


def expected_positions(mail):
    if mail["trace_offset"] is None:
        return ()
    if "store_chain" in mail:
        return (mail["trace_offset"], mail["trace_offset"] + STORE_MOVE)
    return (mail["trace_offset"],)


class Extents:
    """Which mail's bytes hold an image position (a store mail's pieces reach 16 bytes on)."""

    def __init__(self, truth):
        spans = []
        scattered = "store_clusters" in truth
        for index, mail in enumerate(truth["mails"]):
            moved = STORE_MOVE if "store_chain" in mail else 0
            for start, end in mail.get("pieces") or [[mail["start"], mail["end"]]]:
                reach = end + moved
                if scattered:  # behind a cluster of a scattered store lies other data
                    reach = min(reach, end + (truth["shift"] - end) % 4096)
                spans.append((start, reach, index))
        spans.sort()
        self.spans = spans
        self.starts = [span[0] for span in spans]

    def mail_at(self, at):
        index = bisect.bisect_right(self.starts, at) - 1
        if index < 0:
            return None
        _start, end, mail = self.spans[index]
        return mail if at < end else None


def header_names(text):
    fields, _start = cases.header_fields(text)
    return [name for name, _start, _end in fields]


class MixedChecker:
    def __init__(self, image, truth, originals, context):
        self.image = image
        self.truth = truth
        self.originals = originals
        self.context = context
        self.failures = []
        self.checks = 0

    def expect(self, condition, where, message):
        self.checks += 1
        if not condition:
            self.failures.append(f"{self.context} {where}: {message}")

    def check_store_chain(self, mail, where):
        base = mail["store_base"]
        pieces = []
        for index, offset in enumerate(mail["store_chain"]):
            header = self.image[base + offset:base + offset + 16]
            own, size, used, following = struct.unpack("<IIII", header)
            expected_next = mail["store_chain"][index + 1] \
                if index + 1 < len(mail["store_chain"]) else 0
            self.expect(own == offset and size == 0x200 and following == expected_next, where,
                        f"block at {offset} has header {header.hex()}")
            pieces.append([base + offset + 16, base + offset + 16 + used])
        self.expect(pieces == mail["pieces"], where, "pieces differ from the chain")

    def check_place(self, mail, where):
        shift = self.truth["shift"]
        start = mail["start"]
        place = mail["place"]
        if place == "image-start":
            self.expect(start == shift, where, "the first mail is not at the layout start")
        elif place == "cluster":
            self.expect((start - shift) % 4096 == 0, where, "not at a cluster start")
        elif place.startswith("sector-"):
            self.expect((start - shift) % 512 == 0 and (start - shift) % 4096 != 0, where,
                        "not at a sector start inside a cluster")
            before = self.image[start - 512:start]
            kind = place[len("sector-"):]
            looks = {"zeros": before == bytes(512), "random": before[-1:] == b"\x00",
                     "text": before[-1:] == b"." and b"\x00" not in before}
            self.expect(looks[kind], where, f"the sector before is no {kind} filler")
        elif place == "mbox":
            separator = layouts.MBOX_SEPARATOR
            self.expect(self.image[start - len(separator):start] == separator, where,
                        "no mbox separator line before the message")
        elif place.startswith("store"):
            self.check_store_chain(mail, where)
            self.expect(self.image[start - 11:start - 8] == mailtext.BLOCK_MARK, where,
                        "the mail does not begin right behind a block header")
        else:
            self.expect(False, where, f"unknown place {place}")
        if place not in ("mbox", "image-start") and not place.startswith("store"):
            self.expect(self.image[start - 1:start] != b"\n", where, "mail follows a line end")

    def check_case(self, mail, text, original, where):
        case = mail["case"]
        names = header_names(text)
        first_names = {"first-return-path": b"return-path", "first-delivered-to": b"delivered-to",
                       "first-x-uidl": b"x-uidl", "first-message-id": b"message-id"}
        if case in ("plain", "duplicate"):
            self.expect(text == original, where, "text differs from the input mail")
        elif case == "embedded":
            spans = mail["embedded"]
            self.expect(len(spans) >= 1, where, "no embedded message in the truth")
            if spans and "pieces" not in mail:
                inner = self.image[spans[0][0]:spans[0][1]]
                if mail["place"] == "mbox":
                    inner = layouts.unescape_mbox(inner)
                self.expect(inner.rstrip(CRLF) == original.rstrip(CRLF), where,
                            "the embedded message is not the input mail")
            self.expect(original in text, where, "the input mail is not inside the forward")
        elif case in first_names:
            self.expect(names[:1] == [first_names[case]], where,
                        f"first header {names[:1]} is not {first_names[case]}")
            self.expect(text[:1] not in (b" ", b"\t", b"\r", b"\n"), where,
                        "the mail begins with blanks")
        elif case == "no-trace":
            self.expect(b"received" not in names and mail["trace_offset"] is None, where,
                        "a Received line is left")
        elif case == "long-header":
            self.expect(len(text) - len(original) >= 5000, where, "less than 5000 bytes added")
            self.expect(not mail["strict_expected"], where, "still strictly expected")
        elif case == "no-to":
            self.expect(not mail["has_to"], where, "a To line is left")
        elif case == "lf":
            self.expect(text == original.replace(CRLF, b"\n") and CRLF not in text, where,
                        "text is not the input mail with bare LF line ends")
        else:
            self.expect(False, where, f"unknown case {case}")

    def check_mails(self):
        mails = self.truth["mails"]
        starts = [mail["start"] for mail in mails]
        self.expect(starts == sorted(starts), "mails", "not listed in image order")
        for index, mail in enumerate(mails):
            where = f"mail {index} ({mail['file']}, {mail['case']}, {mail['place']})"
            text = laid_out_text(self.image, mail)
            self.expect(len(text) == mail["length"], where, "length differs from the bytes")
            if mail["place"] == "mbox":
                text = layouts.unescape_mbox(text)
            self.check_place(mail, where)
            self.check_case(mail, text, self.originals[mail["file"]], where)
            copy_of = mail["copy_of"]
            if copy_of is not None:
                first = mails[copy_of] if 0 <= copy_of < index else None
                self.expect(first is not None and first["file"] == mail["file"] and
                            first["case"] == "duplicate" and first["copy_of"] is None, where,
                            f"copy_of {copy_of} names no earlier first copy")
            self.expect(mail["header_start"] >= mail["start"], where, "header before start")

    def check_coverage(self):
        present = {mail["case"] for mail in self.truth["mails"]}
        if len(self.originals) >= len(cases.CASES):
            missing = set(cases.CASES) - present
            self.expect(not missing, "cases", f"cases missing: {sorted(missing)}")
            places = {mail["place"] for mail in self.truth["mails"]}
            self.expect(len(places) >= 6, "places", f"only {sorted(places)}")
        copies = [mail for mail in self.truth["mails"] if mail["copy_of"] is not None]
        if "duplicate" in present:
            self.expect(copies, "copies", "duplicates without a second copy")

    def check_outside(self, path):
        extents = Extents(self.truth)
        with open(path, "rb") as file, \
                mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_READ) as data:
            stray = [match.start() + 2 for match in _TRACE_LINE.finditer(data)
                     if extents.mail_at(match.start() + 2) is None]
        self.expect(not stray, "image", f"trace lines outside every mail at {stray[:10]}")
        for start, end, kind in self.truth["decoys"]:
            self.expect(extents.mail_at(start) is None and extents.mail_at(end - 1) is None,
                        f"decoy {kind} at {start}", "lies inside a mail")
            self.expect(b"received" not in self.image[start:end].lower(),
                        f"decoy {kind} at {start}", "holds a trace word")

    def check_walk(self, path):
        extents = Extents(self.truth)
        strict = [mail for mail in self.truth["mails"] if mail["strict_expected"]]
        for strip_in_body in (False, True):
            records = walk.walk_image(path, strip_in_body)
            counts = {}
            for record in records:
                counts[record] = counts.get(record, 0) + 1
            missed = [mail["file"] for mail in strict
                      if sum(counts.get(at, 0) for at in expected_positions(mail)) != 1]
            outside = [record for record in records if extents.mail_at(record) is None]
            where = f"walk (strip in body {'on' if strip_in_body else 'off'})"
            self.expect(not missed, where, f"{len(missed)} strict mails not recorded once: "
                                           f"{missed[:10]}")
            self.expect(not outside, where, f"records outside every mail: {outside[:10]}")


def check_image(path, truth, originals, context="mixed"):
    """Failures (a list of texts) and the number of checks made."""
    with open(path, "rb") as file:
        image = file.read()
    checker = MixedChecker(image, truth, originals, context)
    checker.expect(len(image) == truth["image_size"], "image", "size differs from the truth")
    checker.check_mails()
    checker.check_coverage()
    checker.check_outside(path)
    checker.check_walk(path)
    return checker.failures, checker.checks


def build(tool, inputs, work, name, seed=1, shift=0):
    image = work / f"{name}.img"
    truth_path = work / f"{name}.json"
    subprocess.run([sys.executable, str(tool), "--layout", "mixed", "--out", str(image),
                    "--truth", str(truth_path), "--seed", str(seed), "--shift", str(shift),
                    *map(str, inputs)], check=True, capture_output=True)
    with open(truth_path, encoding="utf-8") as file:
        return image, json.load(file)


def read_originals(inputs):
    originals = {}
    for folder in inputs:
        for path in sorted(pathlib.Path(folder).iterdir()):
            if path.suffix.lower() == ".eml":
                originals[path.name] = path.read_bytes()
    return originals


def run_self_test(source_dir, corpus):
    """Builds mixed images from the demo mails and the corpus (when given), plain and behind a
    shift, and checks them; returns 0 when all checks pass."""
    tool = source_dir / "tools" / "quillon-mkimage"
    input_sets = [("demo", [source_dir / "tools" / "demo-mails"])]
    if corpus is not None:
        input_sets.append(("corpus", [corpus]))
    failures, checks = [], 0
    with tempfile.TemporaryDirectory(prefix="mkimage-mixed-") as scratch:
        work = pathlib.Path(scratch)
        for name, inputs in input_sets:
            originals = read_originals(inputs)
            plain_path, plain = build(tool, inputs, work, f"{name}-plain")
            moved_path, moved = build(tool, inputs, work, f"{name}-moved", shift=(1 << 20) - 516)
            again_path, _again = build(tool, inputs, work, f"{name}-again")
            other_path, _other = build(tool, inputs, work, f"{name}-other", seed=2)
            for path, truth, context in ((plain_path, plain, f"{name}/mixed"),
                                         (moved_path, moved, f"{name}/mixed shifted")):
                found, count = check_image(path, truth, originals, context)
                failures += found
                checks += count
            digests = [hashlib.sha256(path.read_bytes()).hexdigest()
                       for path in (plain_path, again_path, other_path)]
            checks += 3
            if digests[0] != digests[1]:
                failures.append(f"{name}/mixed: the same seed gave different images")
            if digests[0] == digests[2]:
                failures.append(f"{name}/mixed: another seed gave the same image")
            shift = moved["shift"]
            if moved_path.read_bytes()[shift:] != plain_path.read_bytes():
                failures.append(f"{name}/mixed: the shifted image is not the plain one behind "
                                f"the shift")
            for before, after in zip(plain["mails"], moved["mails"]):
                if after["start"] != before["start"] + shift:
                    failures.append(f"{name}/mixed: {before['file']} did not move by the shift")
                    break
            print(f"{name}/mixed: {plain['mail_count']} mails, {plain['strict_expected_count']} "
                  f"strictly expected, cases {plain['case_counts']}, "
                  f"{len(plain['decoys'])} decoys, {plain['image_size']} bytes")
            for path in (plain_path, moved_path, again_path, other_path):
                os.unlink(path)
    for failure in failures[:60]:
        print(f"FAIL {failure}")
    print(f"mixed layout: {checks} checks, {len(failures)} failed")
    return 0 if not failures else 1

"""Checks the layouts of a used disk (disk.py, copies.py, scattered.py) against their truth.

Each mail lies where the truth says and holds what its layout and case promise (store chains
are followed block by block through the scattered clusters); places keep their promise (a glued
mail follows no line break and no sector start, a chunk boundary cuts a header block, a sector
mail starts a sector); old data behind a mail holds no NUL where its kind has none; copies are
named by their bytes only (look-alikes never, duplicates and cut copies always); no trace line
and no decoy lies outside the mails; and the model of the scanner's walk (walk.py) reports every
strictly expected mail exactly once and nothing outside the mails.

Run by `quillon-mkimage --self-test` on the demo mails and, when present, the corpus, with both
mixes.
"""

import hashlib
import json
import pathlib
import random
import struct
import subprocess
import sys
import tempfile

from . import cases, disk, endings, layouts, mailtext, mixed_check, mutations, olddata, variants
from .mixes import MIXES
from .noise import CLUSTER_SIZE

CHUNK = layouts.CHUNK_SIZE
SHIFT = CHUNK - 517        # odd: crosses a sector and a chunk boundary
STORE_SHIFT = CHUNK - 516  # stores keep 4-byte alignment
# (name, layout, case): every layout of a used disk, the disk one with the cases it is used for.
BUILDS = (("glued", "glued", None), ("glued-chunk", "glued-chunk", None),
          ("sector", "sector", None), ("slack", "slack", None), ("copies", "copies", None),
          ("no-trace", "disk", "no-trace"), ("lf", "disk", "lf"),
          ("long-header", "disk", "long-header"), ("store", "scattered-store", "sent"),
          ("combo", "sector", "mut-combo"))


class UnseenChecker(mixed_check.MixedChecker):
    """Reuses the mixed layout's checks of decoys, stray trace lines and the model walk."""

    def __init__(self, image, truth, originals, context):
        super().__init__(image, truth, originals, context)
        self.drawn = None  # the inputs' variants, for a case drawn by seed

    def expected_text(self, mail):
        """What the mail's bytes must be, from the input and the truth's case; None when the
        layout changed the text itself (copies checks those on its own)."""
        original = self.originals[mail["file"]]
        case = self.truth.get("case")
        if case is None:
            return original
        if case == "sent":
            return variants.sent_copy(original)
        if case in ("no-trace", "lf", "no-to", "first-return-path", "first-delivered-to"):
            return cases.apply_case(case, original, None, 0)
        if case in mutations.COMBO_CASES:
            return self.drawn_variants()[mail["file"]]
        return None  # drawn by seed

    def drawn_variants(self):
        """Every input's variant as the builder drew it: the same inputs in the same order,
        the same seed and mix."""
        if self.drawn is None:
            changed, _extras = disk.apply_case(list(self.originals.items()), self.truth["case"],
                                               self.truth["seed"], self.truth["mix"])
            self.drawn = dict(changed)
        return self.drawn

    def read_store(self, mail):
        """The mail's text read by following its chain through the store's clusters."""
        clusters = self.truth["store_clusters"]

        def read(at, size):
            data = b""
            while size:
                cluster, within = divmod(at, CLUSTER_SIZE)
                take = min(size, CLUSTER_SIZE - within)
                data += self.image[clusters[cluster] + within:clusters[cluster] + within + take]
                at, size = at + take, size - take
            return data
        text = b""
        chain = mail["store_chain"]
        for index, offset in enumerate(chain):
            own, size, used, following = struct.unpack("<IIII", read(offset, 16))
            expected = chain[index + 1] if index + 1 < len(chain) else 0
            self.expect(own == offset and size == 0x200 and following == expected,
                        mail["file"], f"block at {offset}: {own}, {size:#x}, next {following}")
            text += read(offset + 16, used)
        return text

    def check_place(self, mail, where):
        start, place = mail["start"], mail["place"]
        relative = start - self.truth["shift"]  # places count from the layout's origin
        before = self.image[start - 1:start]
        if place in ("glued", "chunk"):
            self.expect(relative % 512 != 0 and before not in (b"\n", b"\r", b""), where,
                        f"glued mail at {start} follows {before!r}")
        elif place == "sector":
            self.expect(relative % 512 == 0, where, "not at a sector start")
        elif place == "cluster":
            self.expect(relative % CLUSTER_SIZE == 0 and before != b"\n", where,
                        "not at a cluster start behind something else than a line end")
        if place == "chunk":
            end = mail["header_end"] if mail["header_end"] is not None else mail["end"]
            boundary = mail["boundary"] - self.truth["shift"]
            self.expect(boundary % CHUNK == 0 and start < mail["boundary"] <= end + 2,
                        where, f"chunk boundary {mail['boundary']} does not cut the header")

    def check_after(self, mail, where):
        after = mail.get("after")
        end = mail["end"]
        tail = self.image[end:end + (self.truth["shift"] - end) % CLUSTER_SIZE]
        if after == "zeros":
            self.expect(tail == bytes(len(tail)), where, "slack is not zeros")
        elif after == "old" and mail.get("slack") in olddata.NUL_FREE_KINDS:
            self.expect(b"\x00" not in tail, where, f"{mail['slack']} slack holds a NUL")
            self.expect(olddata.is_clean(tail), where, "slack holds a trace word or header")
        if tail and "end_clear" in mail:
            text = mixed_check.laid_out_text(self.image, mail)
            following = None if tail == bytes(len(tail)) else tail
            self.expect(endings.end_is_clear(text, following) == mail["end_clear"], where,
                        f"end_clear {mail['end_clear']} does not hold for {tail[:20]!r}")

    def check_copies(self):
        """Copy groups: duplicates and cut copies are copies, look-alikes are not."""
        mails = self.truth["mails"]
        texts = [mixed_check.laid_out_text(self.image, mail) for mail in mails]
        groups = {}
        for index, mail in enumerate(mails):
            groups.setdefault(mail["copy_group"], []).append(index)
        for group in groups.values():
            role = mails[group[0]]["role"]
            later = group[1:]
            where = f"copy group {mails[group[0]]['file']} ({role})"
            if role in ("duplicate", "cut"):
                self.expect(all(mails[index]["copy_of"] is not None for index in later), where,
                            f"later copies not named: {[mails[i]['copy_of'] for i in later]}")
            if role == "lookalike":
                self.expect(len(group) == 2 and texts[group[0]] != texts[group[1]] and
                            mails[group[1]]["copy_of"] is None, where, "look-alike is a copy")
            if role == "cut":
                whole = [i for i in group if mails[i]["copy"] == "whole"]
                cut = [i for i in group if mails[i]["copy"] == "cut"]
                self.expect(len(whole) == 1 and len(cut) == 1 and
                            texts[whole[0]].startswith(texts[cut[0]]) and
                            len(texts[cut[0]]) < len(texts[whole[0]]), where, "no cut copy")
        for index, mail in enumerate(mails):
            if mail["copy_of"] is not None:
                first, second = texts[mail["copy_of"]], texts[index]
                self.expect(first.startswith(second) or second.startswith(first),
                            f"mail {index}", "named a copy of a mail with other bytes")

    def check_mails(self):
        mails = self.truth["mails"]
        starts = [mail["start"] for mail in mails]
        self.expect(starts == sorted(starts), "mails", "not listed in image order")
        for index, mail in enumerate(mails):
            where = f"mail {index} ({mail['file']}, {mail['place']})"
            text = mixed_check.laid_out_text(self.image, mail)
            self.expect(len(text) == mail["length"], where, "length differs from the bytes")
            if "store_clusters" in self.truth:
                self.expect(self.read_store(mail) == text, where, "chain differs from pieces")
            elif mail["place"] != "store":
                self.check_place(mail, where)
                self.check_after(mail, where)
            expected = self.expected_text(mail)
            if "role" in mail:
                original = expected if expected is not None else self.originals[mail["file"]]
                if mail["copy"] == "cut":
                    self.expect(original.startswith(text) and len(text) < len(original), where,
                                "cut copy is no prefix of the mail")
                    if mail["follow"] == "zeros":
                        self.expect(self.image[mail["end"]:mail["end"] + 1] == b"\x00", where,
                                    "no zeros behind the cut copy")
                elif not mail["copy"].startswith("lookalike"):
                    self.expect(text == original, where, "copy differs from the mail")
            elif expected is not None:
                self.expect(text == expected, where, "text differs from the input's variant")
            if self.truth.get("case") == "long-header":
                header_end = mail["header_end"] if mail["header_end"] is not None else \
                    mail["end"]
                self.expect(header_end - mail["header_start"] > 8192, where,
                            "header block not longer than 8 KiB")

    def check_coverage(self):
        if self.truth["layout"] == "copies" and len(self.originals) >= 12:
            roles = {mail["role"] for mail in self.truth["mails"]}
            self.expect(roles == {"duplicate", "cut", "lookalike", "single"}, "roles",
                        f"only {sorted(roles)}")


def check_image(path, truth, originals, context):
    with open(path, "rb") as file:
        image = file.read()
    checker = UnseenChecker(image, truth, originals, context)
    checker.expect(len(image) == truth["image_size"], "image", "size differs from the truth")
    checker.check_mails()
    checker.check_coverage()
    if truth["layout"] == "copies":
        checker.check_copies()
    checker.check_outside(path)
    checker.check_walk(path)
    return checker.failures, checker.checks


def build(tool, inputs, work, name, layout, mix, case, seed=1, shift=0):
    image = work / f"{name}.img"
    truth_path = work / f"{name}.json"
    command = [sys.executable, str(tool), "--layout", layout, "--out", str(image), "--truth",
               str(truth_path), "--seed", str(seed), "--mix", mix, "--shift", str(shift),
               *map(str, inputs)]
    if case:
        command += ["--case", case]
    subprocess.run(command, check=True, capture_output=True)
    with open(truth_path, encoding="utf-8") as file:
        return image, json.load(file)


def run_self_test(source_dir, corpus):
    """Builds every layout of a used disk from the demo mails and the corpus with both mixes
    and checks them; returns 0 when all checks pass."""
    tool = source_dir / "tools" / "quillon-mkimage"
    input_sets = [("demo", [source_dir / "tools" / "demo-mails"])]
    if corpus is not None:
        input_sets.append(("corpus", [corpus]))
    failures, checks = [], 0
    with tempfile.TemporaryDirectory(prefix="mkimage-unseen-") as scratch:
        work = pathlib.Path(scratch)
        for set_name, inputs in input_sets:
            originals = mixed_check.read_originals(inputs)
            for number, (name, layout, case) in enumerate(BUILDS):
                # The corpus with one mix per layout, in turn, to keep the self-test short.
                for mix in MIXES if set_name == "demo" else [list(MIXES)[number % 2]]:
                    context = f"{set_name}/{name}/{mix}"
                    path, truth = build(tool, inputs, work, f"{set_name}-{name}-{mix}", layout,
                                        mix, case)
                    found, count = check_image(path, truth, originals, context)
                    failures += found
                    checks += count
                    copies = sum(mail["copy_of"] is not None for mail in truth["mails"])
                    print(f"{context}: {truth['mail_count']} mails, {copies} copies, "
                          f"{truth['strict_expected_count']} strictly expected, "
                          f"{truth['image_size']} bytes")
                    path.unlink()
        demo = input_sets[0][1]
        for layout, case, shift in (("glued", None, SHIFT), ("scattered-store", "sent",
                                                             STORE_SHIFT)):
            found, count = check_shift(tool, demo, work, layout, case, shift)
            failures += found
            checks += count
        digests = []
        for number, (seed, mix) in enumerate(((3, "tuning"), (3, "tuning"), (3, "held-out"),
                                              (4, "tuning"))):
            path, _truth = build(tool, demo, work, f"again-{number}", "glued", mix, None, seed)
            digests.append(hashlib.sha256(path.read_bytes()).hexdigest())
        checks += 3
        if digests[0] != digests[1]:
            failures.append("glued: the same seed and mix gave different images")
        if digests[0] in (digests[2], digests[3]):
            failures.append("glued: another mix or seed gave the same image")
    checks += check_rules(failures)
    for failure in failures[:60]:
        print(f"FAIL {failure}")
    print(f"layouts of a used disk: {checks} checks, {len(failures)} failed")
    return 0 if not failures else 1


def check_shift(tool, inputs, work, layout, case, shift):
    """The layout behind a shift is the plain one byte for byte, every position moved by it;
    returns (failures, checks)."""
    plain_path, plain = build(tool, inputs, work, f"{layout}-plain", layout, "held-out", case)
    moved_path, moved = build(tool, inputs, work, f"{layout}-moved", layout, "held-out", case,
                              shift=shift)
    failures = []
    if moved_path.read_bytes()[shift:] != plain_path.read_bytes():
        failures.append(f"{layout} shifted: not the plain image behind the shift")
    keys = ("start", "end", "header_start", "header_end")
    for before, after in zip(plain["mails"], moved["mails"]):
        if any(after[key] != before[key] + shift for key in keys) or \
                [[a - shift, b - shift] for a, b in after.get("pieces", [])] != \
                before.get("pieces", []):
            failures.append(f"{layout} shifted: {before['file']} did not move by {shift}")
            break
    originals = mixed_check.read_originals(inputs)
    found, count = check_image(moved_path, moved, originals, f"{layout} shifted")
    plain_path.unlink()
    moved_path.unlink()
    return failures + found, count + 2


def check_rules(failures):
    """The copy rule and the variants on hand-made texts; returns the number of checks."""
    from .truth import true_copies
    head = b"From: a@example.net\r\nDate: Mon, 1 Jan 2001 00:00:00 +0000\r\n\r\n"
    body = b"Line one of the body.\r\nLine two.\r\n" * 3
    texts = [head + body, head + body[:40], head + b"X" + body, head + body, b"short"]
    got = true_copies(texts, [40, 10, 20, 30, 50])
    # By image position: cut (1) first, then the edited one (2), the whole (0), its copy (3).
    rows = [(got == [1, None, None, 1, None], f"copies {got}")]
    mail = head + body
    for seed in range(20):
        rng = random.Random(seed)
        edited = variants.edited_body(mail, rng)
        rows.append((edited is not None and not edited.startswith(mail) and
                     edited[:len(head)] == head, f"edited body (seed {seed})"))
        again = variants.resent(mail, rng, seed)
        rows.append((again is not None and b"Mon, 1 Jan 2001" not in again and
                     again.startswith(b"From: a@example.net\r\n"), f"resent (seed {seed})"))
    rows.append((variants.edited_body(head, random.Random(1)) is None,
                 "no body to edit"))
    sent = variants.sent_copy(b"Received: x\r\n\ty\r\nReturn-Path: <a>\r\n" + mail)
    rows.append((sent == mail, f"sent copy {sent[:40]!r}"))
    chunk = disk.chunk_cut(mail, "after-first-line", random.Random(2))
    rows.append((20 <= chunk <= 22, f"cut after the first line at {chunk}"))
    multipart = (b"Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\n\r\nx\r\n"
                 b"--b1--\r\n")
    base64 = b"Content-Transfer-Encoding: base64\r\n\r\nQUJD\r\n"
    for name, text, following, clear in (
            ("zeros", mail, None, True), ("NUL first", mail, b"\x00abc", True),
            ("no final line break", mail[:-2], b"\x00", True),
            ("glued to a last line", mail[:-2], b"\x01\x02", False),
            ("control byte", mail, b"abc\x01def\r\n", True),
            ("control byte on the second line", mail, b"abc\r\n\x01", False),
            ("bare LF lines", mail, b"abc def\nghi\n", True),
            ("CR LF text", mail, b"abc def\r\nghi\r\n", False),
            ("CR LF behind bare LF", mail.replace(b"\r\n", b"\n"), b"abc\r\n", True),
            ("closed multipart", multipart, b"abc def\r\n", True),
            ("epilogue of two lines", multipart + b"a\r\nb\r\n", b"abc\r\n", False),
            ("base64 then prose", base64, b"not base64 at all\r\n", True),
            ("base64 then base64", base64, b"QUJDRA==\r\n", False)):
        rows.append((endings.end_is_clear(text, following) == clear, f"end clear: {name}"))
    for ok, what in rows:
        if not ok:
            failures.append(f"rule: {what}")
    return len(rows)

#!/usr/bin/env python3
"""Saves every mail found in disk images built from the corpus with `quillon save` and holds the
saved .eml files against the original messages.

For each layout (deleted files, a mail store, an mbox file, mails cut by chunk boundaries, a mail
in a trailing partial sector):
- `quillon save IMAGE --out DIR` writes one file per found mail into DIR/Mail Box and says
  "Saved N mails!" with N the number of mails the scan lists;
- each saved .eml equals the bytes the extent rules give from the mail as it was laid out: the
  text starts at the mail's first "Received: ", "Return-Path: " or "Delivered-To: " line that
  follows a CR LF inside the read window (two sectors before the trace line on), and ends at the
  CR LF before the next such line after its header block, or at a NUL; bytes 0x01..0x07 read as
  blanks. Every other outcome is an exception with a named reason (listed below), checked to
  be what the reason says; an unexplained difference fails;
- each saved .eml parses with Python's email package with the Subject, From and Date of the
  original, and the same attachments (names and decoded sizes), unless a named reason explains
  the difference.
Finally a mail with a 5 MB attachment and no X-Attachment line (its window is 512 KiB) must come
back whole.

The saved files are mapped to the scanned mails by their contents: the expected bytes of every
mail are looked up among the saved files; a mail whose bytes are not there is printed with
`quillon show IMAGE --index N`, and the saved files left over must be exactly those outputs.
"""

import base64
import collections
import itertools
import email
import email.policy
import pathlib
import random
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

LAYOUTS = ("deleted", "dbx", "mbox", "straddle", "tail")
START_NAMES = (b"received: ", b"delivered-to: ", b"return-path: ")
CRLF = b"\r\n"
LEAD_SECTORS = 2
STRAY_BYTES = 4
MAX_SHOWN = 12

# Why a saved file may differ from the extent rules applied to the laid-out mail, or its parse
# from the original's. Each is verified against the bytes before it is accepted.
RUNS_ON = "no NUL or next mail behind the mail: the text runs on into the bytes that follow it"
MBOX_SEPARATOR = ("mbox: the text runs on to the next trace line: the next message's \"From \" "
                  "separator line (and a message without trace line before it) is included")
MBOX_ESCAPED = "mbox: \">From \" quoting of body lines is part of the stored text"
BLANKED = "store: the block-header rule blanked the 4 bytes in front of a block header"
CUT_IN_BODY = "a trace line inside the body (a forwarded or bounced mail) ends the text there"
CUT_AT_NUL = "the original holds a NUL byte: the text ends there"
CONTROL_BYTES = "the original holds bytes 0x01..0x07, which read back as blanks"
HEADER_BEFORE_TRACE = "header lines before the first trace line are not part of the carved text"
EMBEDDED = ("a mail inside another (forwarded or bounced): its text is a stretch of the other's, "
            "whose headers it does not share")


def is_start_line(data, at):
    return any(data[at:at + len(name)].lower() == name for name in START_NAMES)


def blank_controls(text):
    return bytes(b if b >= 8 or b == 0 else 0x20 for b in text)


def clean(text):
    """What the reader hands out: cut at the first NUL, bytes 1..7 as blanks."""
    nul = text.find(b"\x00")
    return blank_controls(text[:nul] if nul >= 0 else text)


def line_starts(data, begin=0):
    """Positions that directly follow a CR LF lying at or after `begin`."""
    at = data.find(CRLF, begin)
    while at >= 0:
        yield at + 2
        at = data.find(CRLF, at + 1)


class Extent:
    """The extent rules applied to a mail's laid-out text `text` (in a store: its pieces joined).
    `window_from` is the first text offset inside the read window (a line start counts when its
    CR LF lies in the window); `first_line` tells that the text's first line counts too: it
    follows a CR LF inside the window (in an mbox file, the separator line's)."""

    def __init__(self, text, window_from, first_line):
        self.text = text
        self.start = None
        self.header_end = None
        self.end = len(text)
        self.ended_in_text = False
        self.difference = None  # the reason the saved text differs from the rules, if it does
        candidates = itertools.chain([0] if first_line else [], line_starts(text, window_from))
        for at in candidates:
            if is_start_line(text, at):
                self.start = at
                break
        if self.start is None:
            return
        empty = text.find(CRLF + CRLF, self.start)
        if empty < 0:
            return
        self.header_end = empty + 2
        for at in line_starts(text, self.header_end):
            if is_start_line(text, at):
                self.end = at - 2
                self.ended_in_text = True
                break

    def expected(self):
        return clean(self.text[self.start:self.end])


def laid_out_text(image, truth, mail):
    """The mail's bytes as the reader sees them: its stretch of the image, or its store pieces
    joined without their block headers."""
    pieces = mail.get("pieces") or [[mail["start"], mail["end"]]]
    return b"".join(image[start:end] for start, end in pieces)


def text_offset_of(mail, position):
    """Offset in the laid-out text of an image position inside the mail (or before it: 0)."""
    offset = 0
    for start, end in mail.get("pieces") or [[mail["start"], mail["end"]]]:
        if position < end:
            return offset + max(0, position - start)
        offset += end - start
    return offset


def piece_starts(mail):
    offsets, offset = [], 0
    for start, end in mail.get("pieces") or []:
        offsets.append(offset)
        offset += end - start
    return offsets[1:] + [offset]


def only_blanked_before_blocks(actual, expected, mail):
    """True when the two differ only in 4-byte runs of blanks right before block headers."""
    if len(actual) != len(expected):
        return False
    allowed = set()
    for boundary in piece_starts(mail):
        allowed.update(range(max(0, boundary - STRAY_BYTES), boundary))
    return all(a == b or (index in allowed and a == 0x20)
               for index, (a, b) in enumerate(zip(actual, expected)))


class Layout:
    def __init__(self, name, binary, image, truth, originals):
        self.name = name
        self.binary = binary
        self.image_path = image
        self.image = image.read_bytes()
        self.truth = truth
        self.originals = originals
        self.exact = 0  # saved text equal to what the extent rules give
        self.whole = 0  # ... and that is the whole original from its first trace line on
        self.embedded_count = 0
        self.exceptions = collections.Counter()
        self.parse_exceptions = collections.Counter()
        self.failures = []
        self.examples = collections.defaultdict(list)

    def fail(self, message):
        self.failures.append(message)
        if len(self.failures) <= MAX_SHOWN:
            print(f"  FAIL {message}")

    def note(self, counter, reason, example):
        counter[reason] += 1
        if len(self.examples[reason]) < 3:
            self.examples[reason].append(example)

    def show(self, index):
        completed = subprocess.run([str(self.binary), "show", str(self.image_path), "--index",
                                    str(index)], capture_output=True)
        if completed.returncode != 0:
            self.fail(f"`quillon show --index {index}` exited with {completed.returncode}: "
                      f"{completed.stderr.decode('utf-8', 'replace')[-300:]}")
            return None
        return completed.stdout

    def check(self, records, saved):
        extents = support.MailExtents(self.truth)
        remaining = collections.Counter(saved)
        shown = []
        for record in records:
            index = int(record["index"])
            at = support.position(record)
            number = extents.mail_at(at)
            if number is None:
                self.fail(f"mail {index} at {at} lies in no laid-out mail")
                continue
            mail = self.truth["mails"][number]
            text = laid_out_text(self.image, self.truth, mail)
            if self.embedded(mail, text, at):
                actual = self.show(index)
                if actual is not None:
                    shown.append(actual)
                    self.check_embedded(index, mail, text, actual)
                continue
            window = max(0, (at // support.SECTOR_SIZE - LEAD_SECTORS) * support.SECTOR_SIZE)
            first_line = mail["start"] - 2 >= window and \
                self.image[mail["start"] - 2:mail["start"]] == CRLF
            extent = Extent(text, text_offset_of(mail, window), first_line)
            if extent.start is None or extent.header_end is None:
                self.fail(f"mail {index} ({mail['file']}): the rules find no mail in its text")
                continue
            expected = extent.expected()
            if remaining[expected] > 0:
                remaining[expected] -= 1
                actual = expected
                self.exact += 1
            else:
                actual = self.show(index)
                if actual is None:
                    continue
                shown.append(actual)
                extent.difference = self.explain_difference(index, mail, extent, expected, actual)
            if actual == text[extent.start:] and text == self.originals[mail["file"]]:
                self.whole += 1
            self.explain_exact_extent(index, mail, extent)
            self.check_parse(index, mail, extent, actual)
        remaining.subtract(collections.Counter(shown))
        leftover = sum(count for count in remaining.values() if count != 0)
        if leftover:
            self.fail(f"{leftover} saved files match no mail's `quillon show` output")

    def embedded(self, mail, text, at):
        """True when the mail was found below the header block of the laid-out mail: it is a
        mail inside that one."""
        if mail["trace_offset"] is not None and at in support.expected_positions(self.truth, mail):
            return False
        top_header_end = text.find(CRLF + CRLF)
        return top_header_end < 0 or text_offset_of(mail, at) > top_header_end

    def check_embedded(self, index, mail, text, actual):
        """A mail found inside another mail's text: the saved bytes must be a stretch of that
        text (and what follows it) that begins with a trace line."""
        label = f"mail {index} ({mail['file']})"
        surroundings = blank_controls(text + self.image[mail["end"]:mail["end"] + len(actual)])
        at = surroundings.find(actual)
        if at >= 2 and surroundings[at - 2:at] == CRLF and is_start_line(surroundings, at):
            self.embedded_count += 1
            self.note(self.exceptions, EMBEDDED, label)
        else:
            self.fail(f"{label}: the saved text of a mail inside another is no stretch of it")

    def explain_difference(self, index, mail, extent, expected, actual):
        label = f"mail {index} ({mail['file']})"
        if not extent.ended_in_text and actual.startswith(expected) and \
                b"\x00" not in extent.text[extent.start:]:
            behind = clean(self.image[mail["end"]:mail["end"] + len(actual) - len(expected) + 1])
            if actual[len(expected):] == behind[:len(actual) - len(expected)]:
                reason = MBOX_SEPARATOR if self.name == "mbox" else RUNS_ON
                self.note(self.exceptions, reason, label)
                return reason
        if self.name == "dbx" and only_blanked_before_blocks(actual, expected, mail):
            self.note(self.exceptions, BLANKED, label)
            return BLANKED
        self.fail(f"{label}: saved {len(actual)} bytes differ from the {len(expected)} expected "
                  f"(first difference at {first_difference(actual, expected)})")
        return None

    def explain_exact_extent(self, index, mail, extent):
        """Names what the extent rules themselves cut from the original message."""
        label = f"mail {index} ({mail['file']})"
        original = self.originals[mail["file"]]
        body = extent.text[extent.start:extent.end]
        if extent.ended_in_text:
            self.note(self.exceptions, CUT_IN_BODY, label)
        elif b"\x00" in body:
            self.note(self.exceptions, CUT_AT_NUL, label)
        if any(0 < byte < 8 for byte in body.split(b"\x00")[0]):
            self.note(self.exceptions, CONTROL_BYTES, label)
        if self.name == "mbox" and extent.text != original:
            self.note(self.exceptions, MBOX_ESCAPED, label)

    def check_parse(self, index, mail, extent, actual):
        label = f"mail {index} ({mail['file']})"
        original = self.originals[mail["file"]]
        want = message_facts(original)
        got = message_facts(actual)
        for field in ("subject", "from", "date"):
            if want[field] == got[field]:
                continue
            if header_before(original, field, extent):
                self.note(self.parse_exceptions, HEADER_BEFORE_TRACE, f"{label} {field}")
            elif b"\x00" in extent.text[extent.start:extent.end]:
                self.note(self.parse_exceptions, CUT_AT_NUL, f"{label} {field}")
            else:
                self.fail(f"{label}: {field} {got[field]!r} differs from {want[field]!r}")
        if want["attachments"] != got["attachments"]:
            if extent.ended_in_text or b"\x00" in extent.text[extent.start:extent.end]:
                reason = CUT_IN_BODY if extent.ended_in_text else CUT_AT_NUL
                self.note(self.parse_exceptions, reason, f"{label} attachments")
            elif self.name == "mbox" and extent.text != original:
                self.note(self.parse_exceptions, MBOX_ESCAPED, f"{label} attachments")
            elif extent.difference in (RUNS_ON, MBOX_SEPARATOR):
                # Bytes run on behind a last boundary that lacks its line end join the last part.
                self.note(self.parse_exceptions, extent.difference, f"{label} attachments")
            else:
                self.fail(f"{label}: attachments {got['attachments']} differ from "
                          f"{want['attachments']}")

    def summary(self, count):
        print(f"  {count} mails saved: {self.whole} byte for byte the original from its first "
              f"trace line to its end; {self.exact} byte-exact by the extent rules (those "
              f"included); {self.embedded_count} mails inside other mails; "
              f"{len(self.failures)} unexplained")
        for counter, title in ((self.exceptions, "extent"), (self.parse_exceptions, "parse")):
            for reason, number in counter.most_common():
                print(f"    {title}: {number:4d} x {reason}  (e.g. "
                      f"{', '.join(self.examples[reason])})")


def header_before(original, field, extent):
    """True when the original's `field` header lies before the carved text's first line."""
    head = support.header_block(original)
    at = head.lower().find(b"\n" + field.encode() + b":")
    first = original.find(extent.text[extent.start:extent.start + 64])
    return 0 <= at < first or head.lower().startswith(field.encode() + b":")


def first_difference(a, b):
    for index, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return index
    return min(len(a), len(b))


def message_facts(data):
    """Subject, From, Date and the attachments (name, decoded size) as Python's email package
    reads them."""
    message = email.message_from_bytes(data, policy=email.policy.compat32)
    attachments = []
    for part in message.walk():
        if part.is_multipart():
            continue
        name = part.get_filename()
        if name is None:
            continue
        payload = part.get_payload(decode=True)
        attachments.append((str(name), len(payload) if payload is not None else -1))
    return {"subject": str(message.get("Subject")), "from": str(message.get("From")),
            "date": str(message.get("Date")), "attachments": attachments}


def run_save(binary, image, out):
    completed = subprocess.run([str(binary), "save", str(image), "--out", str(out)],
                               capture_output=True)
    stdout = completed.stdout.decode("utf-8", "replace")
    folder = out / "Mail Box"
    files = sorted(folder.iterdir()) if folder.is_dir() else []
    return completed.returncode, stdout, [path.read_bytes() for path in files]


def check_layout(options, binary, corpus, originals, scratch, name):
    print(f"{name}:")
    image, truth = support.build_image(options.source_dir, scratch, name, name, [corpus])
    records, error = support.run_scan(binary, image)
    if error:
        print(f"  FAIL {error}")
        return [error]
    code, stdout, saved = run_save(binary, image, scratch / f"{name}-out")
    layout = Layout(name, binary, image, truth, originals)
    if code != 0:
        layout.fail(f"`quillon save` exited with {code}")
    if stdout.strip().splitlines()[-1:] != [f"Saved {len(records)} mails!"]:
        layout.fail(f"`quillon save` said {stdout.strip()!r}, not \"Saved {len(records)} mails!\"")
    if len(saved) != len(records):
        layout.fail(f"{len(saved)} files saved for {len(records)} mails")
    layout.check(records, saved)
    layout.summary(len(records))
    return [f"{name}: {failure}" for failure in layout.failures]


def big_attachment_mail(rng):
    """A mail with a 5 MB base64 attachment and no X-Attachment line, its first line a trace
    line the image places behind no CR LF, so its second trace line opens the text."""
    payload = rng.randbytes(5 * 1000 * 1000)
    encoded = base64.encodebytes(payload).replace(b"\n", CRLF)
    head = CRLF.join([
        b"Received: from relay.example.org by mx.example.com; Mon, 9 Mar 2009 10:11:12 +0800",
        b"Received: from client.example.org by relay.example.org; Mon, 9 Mar 2009 10:11:10 +0800",
        b"From: Alice Example <alice@example.org>",
        b"To: Bob Example <bob@example.com>",
        b"Subject: The big file",
        b"Date: Mon, 9 Mar 2009 10:11:12 +0800",
        b"MIME-Version: 1.0",
        b"Content-Type: multipart/mixed; boundary=\"outer-boundary\"",
        b"", b"--outer-boundary",
        b"Content-Type: text/plain; charset=us-ascii", b"",
        b"The file is attached.", b"",
        b"--outer-boundary",
        b"Content-Type: application/octet-stream; name=\"big.bin\"",
        b"Content-Transfer-Encoding: base64",
        b"Content-Disposition: attachment; filename=\"big.bin\"", b"", b""])
    return head + encoded + b"--outer-boundary--" + CRLF, len(payload)


def check_big_attachment(options, binary, scratch):
    print("5 MB attachment:")
    folder = scratch / "big-input"
    folder.mkdir()
    text, size = big_attachment_mail(random.Random(5))
    (folder / "big.eml").write_bytes(text)
    image, _truth = support.build_image(options.source_dir, scratch, "big", "deleted", [folder])
    code, stdout, saved = run_save(binary, image, scratch / "big-out")
    expected = text[text.index(b"\r\nReceived: ") + 2:]
    if code != 0 or len(saved) != 1:
        return [f"big attachment: save exited with {code} and wrote {len(saved)} files"]
    if saved[0] != expected:
        return [f"big attachment: saved {len(saved[0])} bytes, expected {len(expected)} "
                f"(first difference at {first_difference(saved[0], expected)})"]
    facts = message_facts(saved[0])
    if facts["attachments"] != [("big.bin", size)]:
        return [f"big attachment: attachments {facts['attachments']}"]
    print(f"  {len(expected)} bytes back whole, attachment big.bin of {size} bytes intact")
    return []


def main():
    options = support.parse_arguments(__doc__.splitlines()[0])
    binary = options.build_dir / "bin" / "quillon"
    corpus = support.corpus_dir(options.source_dir)
    if corpus is None:
        support.skip(support.CORPUS_MISSING)
    if not binary.is_file():
        support.skip(f"{binary} not built")
    if not support.mkimage(options.source_dir).is_file():
        support.skip("tools/quillon-mkimage not found")
    originals = {path.name: path.read_bytes() for path in support.mail_files(corpus)}

    failures = []
    with support.ScratchDir(options.build_dir, "save-corpus", options.keep) as scratch:
        for name in LAYOUTS:
            failures += check_layout(options, binary, corpus, originals, scratch.path, name)
        failures += check_big_attachment(options, binary, scratch.path)
        scratch.finish(not failures)
    if failures:
        print(f"FAILED: {len(failures)} problems")
        return support.FAIL
    print("PASSED")
    return support.PASS


if __name__ == "__main__":
    sys.exit(main())

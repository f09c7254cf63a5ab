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
back whole, and the command line must hold: `quillon show` prints exactly what `quillon save`
writes, a missing --out folder is made, an index out of range and a folder that cannot be made
fail with exit status 1 (the latter naming the folder and the system's reason).

The saved files are mapped to the scanned mails by their contents: the expected bytes of every
mail are looked up among the saved files, a mail inside another mail (or a false find of the
scan) claims a saved file that is a stretch of the bytes around it, and a mail whose bytes are
not there is printed with `quillon show IMAGE --index N`; no saved file may be left over.
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
MAX_MAIL_BYTES = 64 << 20

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
FALSE_FIND = "the scan reported a mail where none was laid out: its saved text is not compared"
SHAPE_INSIDE = ("found by the shape of a header block at a line inside the mail's header: the "
                "text is read from that line, so the parse is not compared")
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
    """The extent rules applied to a mail's laid-out text `text` (in a store: its pieces joined)
    followed by the bytes behind it in the image (`behind`, up to its first NUL): where the text
    starts, where its header block ends, where it ends.

    `window_from` is the first text offset inside the read window (a line start counts when its
    CR LF lies in the window); `first_line` tells that the text's first line counts too: it
    follows a CR LF inside the window (in an mbox file, the separator line's). A mail found by
    the shape of its header block starts at its recorded line, `shape_start`."""

    def __init__(self, text, behind, window_from, first_line, shape_start=None):
        self.text = text
        self.whole = text + behind
        self.start = None
        self.header_end = None
        self.end = len(self.whole)
        self.ended_in_text = False
        if shape_start is not None:
            candidates = [shape_start]
        else:
            candidates = (at for at in itertools.chain([0] if first_line else [],
                                                       line_starts(text, window_from))
                          if is_start_line(text, at))
        self.start = next(iter(candidates), None)
        if self.start is None:
            return
        empty = self.whole.find(CRLF + CRLF, self.start)
        if empty < 0:
            return
        self.header_end = empty + 2
        for at in line_starts(self.whole, self.header_end):
            if is_start_line(self.whole, at):
                self.end = at - 2
                break
        self.ended_in_text = self.end < len(text)

    def found(self):
        return self.start is not None and self.header_end is not None

    def expected(self):
        return clean(self.whole[self.start:self.end])

    def runs_on(self):
        """The saved text reaches past the mail's own bytes."""
        nul = self.whole.find(b"\x00", self.start)
        end = self.end if nul < 0 else min(self.end, nul)
        return end > len(self.text)


def compacted(data, base):
    """`data` (at image offset `base`) without the store block headers at even offsets."""
    out = bytearray()
    at = (base & 1)
    copy_from = 0
    while at + 8 <= len(data):
        if data[at + 5:at + 8] == b"\x02\x00\x00":
            out += data[copy_from:at]
            copy_from = at + 16
            at += 18
        else:
            at += 2
    return bytes(out + data[copy_from:])


def up_to_nul(image, start, cap=MAX_MAIL_BYTES):
    """The image from `start` up to its next NUL byte (at most `cap` bytes)."""
    nul = image.find(b"\x00", start, start + cap)
    return image[start:nul if nul >= 0 else start + cap]


def bytes_behind(image, truth, mail):
    """What follows the mail in the image as the reader sees it, up to the first NUL."""
    end = mail["end"]
    if truth["layout"] != "dbx":
        return up_to_nul(image, end)
    # In a store the zeros of a header lie between text: remove the headers first.
    tail = compacted(image[end:end + (1 << 20)], end)
    nul = tail.find(b"\x00")
    return tail if nul < 0 else tail[:nul]


def laid_out_text(image, truth, mail):
    """The mail's bytes as the reader sees them: its stretch of the image, or its store pieces
    joined without their block headers."""
    pieces = mail.get("pieces") or [[mail["start"], mail["end"]]]
    return b"".join(image[start:end] for start, end in pieces)


def text_offset_of(mail, position):
    """Offset in the laid-out text of an image position inside the mail (or before it: 0). A
    position inside a store block header stands for a line moved up over it, 16 bytes later."""
    offset = 0
    for start, end in mail.get("pieces") or [[mail["start"], mail["end"]]]:
        if position < start and start - position <= 16 and offset:
            return offset - (16 - (start - position))
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
        self.stretches = 0  # mails inside other mails, and false finds, checked as stretches
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
        completed = subprocess.run([str(self.binary), "show", str(self.image_path), "--strict", "--index",
                                    str(index)], capture_output=True)
        if completed.returncode != 0:
            self.fail(f"`quillon show --index {index}` exited with {completed.returncode}: "
                      f"{completed.stderr.decode('utf-8', 'replace')[-300:]}")
            return None
        return completed.stdout

    def check(self, records, saved):
        """Maps the saved files to the mails: first by the bytes the rules give, then mails
        inside other mails by their stretch; what is left is printed with `quillon show`."""
        extents = support.MailExtents(self.truth)
        remaining = collections.Counter(saved)
        direct, stretches = [], []
        for record in records:
            index = int(record["index"])
            at = support.position(record)
            shape = record.get("found_by") == "shape"
            number = extents.mail_at(at)
            mail = self.truth["mails"][number] if number is not None else None
            if mail is None or self.embedded(mail, laid_out_text(self.image, self.truth, mail), at):
                # A mail inside another, or the scan's own false find: its text starts in the
                # read window, at or before the recorded line.
                stretches.append((index, mail, at, EMBEDDED if mail else FALSE_FIND, shape))
                continue
            text = laid_out_text(self.image, self.truth, mail)
            behind = bytes_behind(self.image, self.truth, mail)
            window = max(0, (at // support.SECTOR_SIZE - LEAD_SECTORS) * support.SECTOR_SIZE)
            first_line = mail["start"] - 2 >= window and \
                self.image[mail["start"] - 2:mail["start"]] == CRLF
            extent = Extent(text, behind, text_offset_of(mail, window), first_line,
                            text_offset_of(mail, at) if shape else None)
            if not extent.found():
                self.fail(f"mail {index} ({mail['file']}): the rules find no mail in its text")
                continue
            direct.append((index, mail, extent))

        unmatched = []
        for index, mail, extent in direct:
            expected = extent.expected()
            if remaining[expected] > 0:
                remaining[expected] -= 1
                self.exact += 1
                self.judge(index, mail, extent, expected, None)
            else:
                unmatched.append((index, mail, extent))
        for index, mail, at, reason, shape in stretches:
            window, reach = self.window_bytes(at)
            # Mails inside one mail share their surroundings: the file that starts nearest to
            # the recorded line is this mail's.
            fits = [(stretch_start(data, window, reach, shape), data)
                    for data, count in remaining.items() if count > 0]
            fits = [fit for fit in fits if fit[0] is not None]
            claimed = max(fits, key=lambda fit: fit[0])[1] if fits else None
            if claimed is None:
                unmatched.append((index, mail, None))
                continue
            remaining[claimed] -= 1
            self.stretches += 1
            self.note(self.exceptions, reason, f"mail {index}" +
                      (f" ({mail['file']})" if mail else ""))
        for index, mail, extent in unmatched:
            actual = self.show(index)
            if actual is None:
                continue
            remaining[actual] -= 1
            if extent is None:
                self.fail(f"mail {index}: the saved text of a mail inside another (or of a false "
                          "find) is no stretch of the bytes around it")
                continue
            expected = extent.expected()
            reason = BLANKED if self.name == "dbx" and \
                only_blanked_before_blocks(actual, expected, mail) else None
            if reason is None:
                self.fail(f"mail {index} ({mail['file']}): saved {len(actual)} bytes differ from "
                          f"the {len(expected)} expected (first difference at "
                          f"{first_difference(actual, expected)})")
                continue
            self.judge(index, mail, extent, actual, reason)
        leftover = sum(count for count in remaining.values() if count != 0)
        if leftover:
            self.fail(f"{leftover} saved files match no mail")

    def window_bytes(self, at):
        """The bytes the reader sees from the window start of a mail recorded at `at`, and how
        far into them its text may start."""
        start = max(0, (at // support.SECTOR_SIZE - LEAD_SECTORS) * support.SECTOR_SIZE)
        if self.truth["layout"] == "dbx":
            data = compacted(self.image[start:at + (1 << 20)], start)
            nul = data.find(b"\x00", at - start)
            data = data if nul < 0 else data[:nul]
        else:
            data = self.image[start:at] + up_to_nul(self.image, at)
        return blank_controls(data), at - start

    def embedded(self, mail, text, at):
        """True when the mail was found below the header block of the laid-out mail: it is a
        mail inside that one."""
        if mail["trace_offset"] is not None and at in support.expected_positions(self.truth, mail):
            return False
        top_header_end = text.find(CRLF + CRLF)
        return top_header_end < 0 or text_offset_of(mail, at) > top_header_end

    def judge(self, index, mail, extent, actual, difference):
        """Names every way the saved text differs from the original, and checks its parse."""
        label = f"mail {index} ({mail['file']})"
        original = self.originals[mail["file"]]
        if difference:
            self.note(self.exceptions, difference, label)
        if actual == extent.text[extent.start:] and extent.text == original:
            self.whole += 1
        body = extent.text[extent.start:extent.end]
        if extent.runs_on():
            self.note(self.exceptions, MBOX_SEPARATOR if self.name == "mbox" else RUNS_ON, label)
        if extent.ended_in_text:
            self.note(self.exceptions, CUT_IN_BODY, label)
        elif b"\x00" in extent.text[extent.start:]:
            self.note(self.exceptions, CUT_AT_NUL, label)
        if any(0 < byte < 8 for byte in body.split(b"\x00")[0]):
            self.note(self.exceptions, CONTROL_BYTES, label)
        if self.name == "mbox" and extent.text != original:
            self.note(self.exceptions, MBOX_ESCAPED, label)
        if extent.start > 0 and not is_start_line(extent.text, extent.start):
            self.note(self.exceptions, SHAPE_INSIDE, label)
            return
        self.check_parse(label, original, extent, actual)

    def check_parse(self, label, original, extent, actual):
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
            if extent.ended_in_text:
                self.note(self.parse_exceptions, CUT_IN_BODY, f"{label} attachments")
            elif b"\x00" in extent.text[extent.start:]:
                self.note(self.parse_exceptions, CUT_AT_NUL, f"{label} attachments")
            elif self.name == "mbox" and extent.text != original:
                self.note(self.parse_exceptions, MBOX_ESCAPED, f"{label} attachments")
            elif extent.runs_on():
                # Bytes run on behind a last boundary that lacks its line end join the last part.
                reason = MBOX_SEPARATOR if self.name == "mbox" else RUNS_ON
                self.note(self.parse_exceptions, reason, f"{label} attachments")
            else:
                self.fail(f"{label}: attachments {got['attachments']} differ from "
                          f"{want['attachments']}")

    def summary(self, count):
        print(f"  {count} mails saved: {self.whole} byte for byte the original from their first "
              f"trace line to their end; {self.exact} byte-exact by the extent rules (those "
              f"included); {self.stretches} inside other mails or false finds; "
              f"{len(self.failures)} unexplained")
        for counter, title in ((self.exceptions, "extent"), (self.parse_exceptions, "parse")):
            for reason, number in counter.most_common():
                print(f"    {title}: {number:4d} x {reason}  (e.g. "
                      f"{', '.join(self.examples[reason])})")


def stretch_start(data, window, reach, shape):
    """Where `data` stands in `window` at a line start no later than `reach` (a mail found by
    its shape may also start right at `reach`, behind no line end); the latest such place, or
    None."""
    found = None
    at = window.find(data)
    while 0 <= at <= reach:
        if (at >= 2 and window[at - 2:at] == CRLF) or (shape and at == reach):
            found = at
        at = window.find(data, at + 1)
    return found


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
    completed = subprocess.run([str(binary), "save", str(image), "--strict", "--out", str(out)],
                               capture_output=True)
    stdout = completed.stdout.decode("utf-8", "replace")
    folder = out / "Mail Box"
    files = sorted(folder.iterdir()) if folder.is_dir() else []
    return completed.returncode, stdout, [path.read_bytes() for path in files]


def check_layout(options, binary, corpus, originals, scratch, name):
    print(f"{name}:")
    image, truth = support.build_image(options.source_dir, scratch, name, name, [corpus])
    records, error = support.run_scan(binary, image, ["--strict"])
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


def run(command):
    completed = subprocess.run([str(part) for part in command], capture_output=True)
    return completed.returncode, completed.stdout, completed.stderr.decode("utf-8", "replace")


def check_command_line(options, binary, corpus, scratch):
    """`quillon show` prints what `quillon save` writes; both fail loudly where they must."""
    print("command line:")
    failures = []
    inputs = support.mail_files(corpus)[:6]
    image, _truth = support.build_image(options.source_dir, scratch, "cli", "deleted", inputs)
    records, error = support.run_scan(binary, image, ["--strict"])
    if error or not records:
        return [f"command line: no mails to work with ({error})"]

    def expect(condition, message):
        if not condition:
            failures.append(f"command line: {message}")
            print(f"  FAIL {message}")

    # A folder named on the command line is made with its parents.
    out = scratch / "cli-out" / "nested" / "folder"
    code, stdout, _ = run([binary, "save", image, "--strict", "--out", out])
    saved = sorted((out / "Mail Box").iterdir()) if (out / "Mail Box").is_dir() else []
    expect(code == 0 and len(saved) == len(records),
           f"save into a missing folder: exit {code}, {len(saved)} files for {len(records)} mails")
    shown = sorted(run([binary, "show", image, "--strict", "--index", index])[1]
                   for index in range(1, len(records) + 1))
    expect(shown == sorted(path.read_bytes() for path in saved),
           "the mails `quillon show` prints are not the files `quillon save` wrote")
    code, stdout, _ = run([binary, "show", image, "--strict", "--index", 1, "--txt"])
    expect(code == 0 and stdout.startswith(b"Subject: ") and b"---------- Text ---------\r\n"
           in stdout, "show --txt does not print the text rendering")
    code, stdout, _ = run([binary, "save", image, "--strict", "--out", scratch / "cli-txt", "--format", "txt"])
    names = [path.name for path in (scratch / "cli-txt" / "Mail Box").iterdir()]
    expect(code == 0 and len(names) == len(records) and all(n.endswith(".txt") for n in names),
           "save --format txt does not write .txt files")

    for index in (0, len(records) + 1):
        code, stdout, stderr = run([binary, "show", image, "--strict", "--index", index])
        expect(code == 1 and not stdout and f"no mail {index}" in stderr,
               f"show --index {index} (out of range): exit {code}, {stderr.strip()!r}")
    blocked = scratch / "cli-blocked"
    blocked.mkdir()
    (blocked / "Mail Box").write_bytes(b"a file where the folder belongs")
    code, stdout, stderr = run([binary, "save", image, "--strict", "--out", blocked])
    expect(code == 1 and f"cannot create {blocked / 'Mail Box'}: Not a directory" in stderr
           and b"Saved" not in stdout,
           f"save into a folder that cannot be made: exit {code}, {stderr.strip()!r}")
    if not failures:
        print(f"  {len(records)} mails: show equals save, out-of-range and blocked folders fail")
    return failures


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
        failures += check_command_line(options, binary, corpus, scratch.path)
        scratch.finish(not failures)
    if failures:
        print(f"FAILED: {len(failures)} problems")
        return support.FAIL
    print("PASSED")
    return support.PASS


if __name__ == "__main__":
    sys.exit(main())

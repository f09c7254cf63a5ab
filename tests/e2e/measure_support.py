"""What the recovery measures share: where a mail lies by its ground truth and what a whole
recovery of it holds, which kind of place an image position is, running `quillon save` and
`quillon show`, and mapping saved .eml files to the scan's records by the names the save run
gives them.

Used by tests/e2e/recovery_measure.py and tests/e2e/unseen_measure.py (and their tests).
"""

import bisect
import collections
import concurrent.futures
import os
import pathlib
import shutil
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage.layouts import unescape_mbox  # noqa: E402

STORE_MOVE = 16
SPOT_CHECKS = 3


# Where mails are and what they hold.

def pieces_of(mail):
    return mail.get("pieces") or [[mail["start"], mail["end"]]]


def text_offset_of(mail, at):
    """Offset in the mail's laid-out text of an image position inside it (None outside)."""
    offset = 0
    for start, end in pieces_of(mail):
        if start <= at < end:
            return offset + at - start
        offset += end - start
    return None


def laid_out_text(image, mail):
    return b"".join(image[start:end] for start, end in pieces_of(mail))


def blank_controls(text):
    return text.translate(CONTROLS_AS_BLANKS)


CONTROLS_AS_BLANKS = bytes(0x20 if 0 < byte < 8 else byte for byte in range(256))


def reference_text(image, mail):
    """What a whole recovery of the mail holds: its bytes from the first header line on, with
    the control bytes the reader turns into blanks as blanks."""
    text = laid_out_text(image, mail)
    skip = text_offset_of(mail, mail.get("header_start", mail["start"])) or 0
    return blank_controls(text[skip:])


def reference_texts(image, truth, mail):
    """The texts a whole recovery may hold: the mail as it lies, and for an mbox message also
    with its ">From " quoting undone."""
    text = reference_text(image, mail)
    if truth["layout"] == "mbox" or mail.get("place") == "mbox":
        unquoted = unescape_mbox(text)
        if unquoted != text:
            return (text, unquoted)
    return (text,)


def right_positions(truth, mail):
    positions = {mail["start"], mail.get("header_start", mail["start"])}
    positions.update(support.expected_positions(truth, mail) if mail["trace_offset"] is not None
                     else ())
    return positions


def is_target(mail):
    return bool(mail["has_from"] and mail["has_date"])


class Locator:
    """Says what an image position is: a right position of a mail, a place inside a mail (in
    an embedded message or not), a decoy, or nothing."""

    def __init__(self, truth):
        self.truth = truth
        self.right = collections.defaultdict(list)
        for index, mail in enumerate(truth["mails"]):
            for at in right_positions(truth, mail):
                self.right[at].append(index)
        self.extents = support.MailExtents(truth)
        # Further messages a mail file holds behind mailbox separators of its own (a folder
        # saved as one file, a patch mailed in a body): parts of that mail, told apart in the
        # report.
        self.contained = {}
        for index, mail in enumerate(truth["mails"]):
            for number, (start, trace) in enumerate(mail.get("mailbox_messages", [])):
                for at in (start, trace, trace - STORE_MOVE if trace is not None else None):
                    if at is not None:
                        self.contained.setdefault(at, (index, number))
        decoys = sorted(truth.get("decoys", []))
        self.decoy_starts = [start for start, _end, _kind in decoys]
        self.decoys = decoys

    def contained_at(self, at):
        return self.contained.get(at)

    def mails_starting_at(self, at):
        return self.right.get(at, [])

    def wrong_kind(self, at):
        number = self.extents.mail_at(at)
        if number is not None:
            mail = self.truth["mails"][number]
            offset = text_offset_of(mail, at)
            if offset is None:  # in the 16 bytes a removed block header leaves behind
                offset = text_offset_of(mail, at - STORE_MOVE)
            for start, end in mail.get("embedded", []):
                first = text_offset_of(mail, start)
                last = text_offset_of(mail, end - 1)
                if offset is not None and first is not None and last is not None and \
                        first <= offset <= last:
                    return "embedded"
            return "inside"
        index = bisect.bisect_right(self.decoy_starts, at) - 1
        if index >= 0 and at < self.decoys[index][1]:
            return "decoy"
        return "outside"


# Running quillon.

def run_save(binary, image, out, extra):
    shutil.rmtree(out, ignore_errors=True)
    command = [str(binary), "save", str(image), "--out", str(out), *extra]
    completed = subprocess.run(command, capture_output=True)
    folder = out / "Mail Box"
    files = {}
    if folder.is_dir():
        for name in os.listdir(os.fsencode(folder)):
            files[name] = (folder / os.fsdecode(name)).read_bytes()
    error = None
    if completed.returncode != 0:
        error = (f"`{' '.join(command)}` exited with {completed.returncode}: "
                 f"{completed.stderr.decode('utf-8', 'replace')[-400:]}")
    return files, completed.stdout.decode("utf-8", "replace").strip(), error


def show(binary, image, index, extra):
    completed = subprocess.run([str(binary), "show", str(image), "--index", str(index), *extra],
                               capture_output=True)
    return completed.stdout if completed.returncode == 0 else None


FORBIDDEN_IN_NAMES = set('"<:>|?\\/*')


def sanitized(name):
    """The save run's file-name cleaning: characters no file system takes become blanks, lone
    surrogates the replacement character."""
    out = []
    for char in name:
        code = ord(char)
        if char in FORBIDDEN_IN_NAMES or code < 0x20 or code == 0x7F:
            out.append(" ")
        elif 0xD800 <= code <= 0xDFFF:
            out.append("\ufffd")
        else:
            out.append(char)
    text = "".join(out)
    return "_" if text in (".", "..") else text


def fit_component(name, reserved, limit=255):
    """A name cut so that `reserved` more bytes fit into 255, keeping a date part whole."""
    room = limit - reserved if reserved < limit else 0
    if len(name) <= room:
        return name
    date = name.rfind(b"_[")
    if date >= 0 and name.endswith(b"]") and len(name) - date <= room:
        return cut_utf8(name, room - (len(name) - date)) + name[date:]
    return cut_utf8(name, room)


def cut_utf8(data, limit):
    cut = min(limit, len(data))
    while 0 < cut < len(data) and data[cut] & 0xC0 == 0x80:
        cut -= 1
    return data[:cut]


def predicted_file_names(records, extension=b".eml"):
    """The file name each record is saved under: the first 20 UTF-16 units of the subject,
    "_[date]", cleaned; later records with a name already given get "_1", "_2", ..."""
    used = set()
    names = []
    for record in records:
        units = str(record.get("subject") or "").encode("utf-16-le", "surrogatepass")[:40]
        subject = units.decode("utf-16-le", "surrogatepass")
        base = sanitized(subject + "_[" + str(record.get("date") or "") + "]")
        base = base.encode("utf-8", "surrogatepass")
        name = fit_component(base, len(extension))
        number = 0
        while name in used:
            number += 1
            suffix = b"_%d" % number
            name = fit_component(base, len(extension) + len(suffix)) + suffix
        used.add(name)
        names.append(name + extension)
    return names


class SavedTexts:
    """The saved .eml text of each record, from one save run, or from `quillon show`."""

    def __init__(self, binary, image, records, out, extra, jobs):
        self.binary = binary
        self.image = image
        self.extra = extra
        self.jobs = jobs
        self.records = records
        self.texts = {}
        self.method = "save"
        self.problems = []
        files, said, error = run_save(binary, image, out, extra)
        self.files = files  # file name -> saved bytes
        if error:
            self.problems.append(error)
        self.said = said
        names = predicted_file_names(records)
        unpredicted = set(files) - set(names)
        missing = [name for name in names if name not in files]
        if unpredicted or missing or not records:
            if records:
                self.problems.append(f"save file names not as predicted ({len(unpredicted)} "
                                     f"unpredicted, {len(missing)} missing): using show")
            self.method = "show"
            return
        for number, name in enumerate(names, 1):
            self.texts[number] = files[name]
        spots = sorted({1, (len(records) + 1) // 2, len(records)})[:SPOT_CHECKS]
        for number in spots:
            if show(binary, image, number, extra) != self.texts[number]:
                self.problems.append(f"`quillon show --index {number}` differs from its saved "
                                     f"file: using show")
                self.texts = {}
                self.method = "show"
                return

    def fetch(self, numbers):
        """Makes sure the texts of these records (1-based indexes) are at hand."""
        wanted = [number for number in numbers if number not in self.texts]
        if not wanted:
            return
        with concurrent.futures.ThreadPoolExecutor(max_workers=self.jobs) as pool:
            results = pool.map(lambda number: show(self.binary, self.image, number, self.extra),
                               wanted)
            for number, text in zip(wanted, results):
                self.texts[number] = text

    def text(self, number):
        return self.texts.get(number)


# Reading images and reporting.

class ImageFile:
    """Reads stretches of an image on demand (`image[start:end]`), so that a big sparse image
    is never read whole."""

    def __init__(self, path):
        self.descriptor = os.open(path, os.O_RDONLY)

    def __getitem__(self, span):
        start = max(0, span.start)
        return os.pread(self.descriptor, max(0, span.stop - start), start)

    def close(self):
        os.close(self.descriptor)


def ratio(part, whole):
    return part / whole if whole else None


def percent(value):
    return "-" if value is None else f"{value * 100:.1f}%"


def spread_subset(files, count):
    """`count` files spread evenly over the list (all of them when count is 0 or larger)."""
    if count <= 0 or count >= len(files):
        return list(files)
    return [files[index * len(files) // count] for index in range(count)]

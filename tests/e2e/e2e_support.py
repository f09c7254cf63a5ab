"""Shared helpers of the end-to-end tests: arguments, the corpus, the image builder, running
`quillon scan` and reading its records, and the reference decoding of subjects.

ctest runs each tests/e2e/*_test.py as `python3 X_test.py --build-dir B --source-dir S`; exit
status 0 passes, 1 fails and 77 skips.
"""

import argparse
import bisect
import email.header
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys

PASS = 0
FAIL = 1
SKIP = 77
SECTOR_SIZE = 512
NO_SUBJECT = "( No Subject )"


def parse_arguments(description, argv=None, add_options=None):
    """The common options; `add_options(parser)` may add a script's own."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--build-dir", type=pathlib.Path, required=False,
                        help="the build tree (default: <source dir>/build)")
    parser.add_argument("--source-dir", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parents[2])
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    if add_options is not None:
        add_options(parser)
    options = parser.parse_args(argv)
    options.source_dir = options.source_dir.resolve()
    options.build_dir_given = options.build_dir is not None
    if options.build_dir is None:
        options.build_dir = options.source_dir / "build"
    options.build_dir = options.build_dir.resolve()
    return options


def skip(message):
    print(f"SKIPPED: {message}")
    sys.exit(SKIP)


def corpus_dir(source_dir):
    """The real-message folder beside the project, or $QUILLON_CORPUS_DIR; None when absent."""
    configured = os.environ.get("QUILLON_CORPUS_DIR")
    folder = pathlib.Path(configured) if configured else \
        source_dir.parent / "shared" / "corpus" / "messages"
    return folder if folder.is_dir() else None


CORPUS_MISSING = ("mail corpus not found (expected ../shared/corpus/messages beside the project, "
                  "or QUILLON_CORPUS_DIR); skipping")


def mail_files(folder):
    return sorted(path for path in folder.iterdir()
                  if path.is_file() and path.suffix.lower() == ".eml")


def mkimage(source_dir):
    return source_dir / "tools" / "quillon-mkimage"


def build_image(source_dir, work_dir, name, layout, inputs, seed=1, shift=0, extra=()):
    """Runs the image builder; returns (image path, truth)."""
    image = work_dir / f"{name}.img"
    truth_path = work_dir / f"{name}.truth.json"
    command = [sys.executable, str(mkimage(source_dir)), "--layout", layout, "--out", str(image),
               "--truth", str(truth_path), "--seed", str(seed), "--shift", str(shift),
               *extra, *map(str, inputs)]
    completed = subprocess.run(command, capture_output=True, text=True)
    if completed.returncode != 0:
        raise RuntimeError(f"image builder failed ({completed.returncode}): "
                           f"{' '.join(command)}\n{completed.stderr}")
    with open(truth_path, encoding="utf-8") as file:
        return image, json.load(file)


class ScratchDir:
    """A folder under the build tree for one test run, removed afterwards unless the run failed
    or --keep was given."""

    def __init__(self, build_dir, name, keep=False):
        self.path = build_dir / "test-tmp" / f"{name}-{os.getpid()}"
        self.keep = keep

    def __enter__(self):
        shutil.rmtree(self.path, ignore_errors=True)
        self.path.mkdir(parents=True)
        return self

    def finish(self, passed):
        if passed and not self.keep:
            shutil.rmtree(self.path, ignore_errors=True)
        else:
            print(f"scratch files kept in {self.path}")

    def __exit__(self, kind, value, traceback):
        if kind is not None:
            self.finish(False)
        return False


def quillon_supports_scan(binary):
    """False while the binary is a build without the scan command."""
    completed = subprocess.run([str(binary), "--help"], capture_output=True, text=True)
    return "scan" in completed.stdout + completed.stderr


def run_scan(binary, image, extra=()):
    """Runs `quillon scan IMAGE --json`; returns (records, error text or None)."""
    command = [str(binary), "scan", str(image), "--json", *extra]
    completed = subprocess.run(command, capture_output=True)
    if completed.returncode != 0:
        return [], (f"`{' '.join(command)}` exited with {completed.returncode}: "
                    f"{completed.stderr.decode('utf-8', 'replace')[-2000:]}")
    records = []
    for number, line in enumerate(completed.stdout.splitlines(), 1):
        if not line.strip():
            continue
        try:
            record = json.loads(line)
        except ValueError as error:
            return records, (f"line {number} of the scan output is not JSON ({error}): "
                             f"{line[:200]!r}")
        if not isinstance(record, dict) or "sector" not in record or "offset" not in record:
            return records, f"line {number} of the scan output lacks sector/offset: {line[:200]!r}"
        records.append(record)
    return records, None


def position(record):
    return int(record["sector"]) * SECTOR_SIZE + int(record["offset"])


def in_store(truth, mail):
    """Whether the mail lies in a mail store (the dbx layout, or a store of the mixed one)."""
    return truth["layout"] == "dbx" or "store_chain" in mail


class MailExtents:
    """Finds the mail whose bytes hold an image position. In a store a mail's text lies in
    pieces, and text the scanner moved over a removed block header reads 16 bytes later."""

    def __init__(self, truth):
        spans = []
        scattered = "store_clusters" in truth
        for index, mail in enumerate(truth["mails"]):
            moved = 16 if in_store(truth, mail) else 0
            for start, end in mail.get("pieces") or [[mail["start"], mail["end"]]]:
                reach = end + moved
                if scattered:  # behind a cluster of a scattered store lies other data
                    reach = min(reach, end + (truth["shift"] - end) % 4096)
                spans.append((start, reach, index))
        spans.sort()
        self.starts = [span[0] for span in spans]
        self.spans = spans

    def mail_at(self, at):
        """Index of the mail holding position `at`, or None. Spans never overlap: a piece's
        16-byte allowance ends where the next block's data begins."""
        index = bisect.bisect_right(self.starts, at) - 1
        if index < 0:
            return None
        _start, end, mail = self.spans[index]
        return mail if at < end else None


def expected_positions(truth, mail):
    """Where a strictly expected mail may be reported."""
    if in_store(truth, mail):
        return (mail["trace_offset"], mail["trace_offset"] + 16)
    return (mail["trace_offset"],)


# Reference subjects.

def header_block(data):
    """The top-level header block: everything before the first empty line."""
    ends = [found for found in (data.find(b"\r\n\r\n"), data.find(b"\n\n")) if found >= 0]
    return data[:min(ends)] if ends else data


def unfold(value):
    """RFC 5322 2.2.3: a line break directly before a blank or tab is removed."""
    return re.sub(rb"\r?\n(?=[ \t])", b"", value)


def first_header(data, name):
    """The unfolded raw value of the first `name` header (lower case, no colon), or None."""
    lines = header_block(data).split(b"\n")
    for index, line in enumerate(lines):
        colon = line.find(b":")
        if colon <= 0 or line[:1] in (b" ", b"\t"):
            continue
        if line[:colon].strip().lower() != name:
            continue
        value = [line[colon + 1:]]
        for follow in lines[index + 1:]:
            if follow[:1] not in (b" ", b"\t"):
                break
            value.append(follow)
        return unfold(b"\n".join(value)).strip(b" \t\r\n")
    return None


def collapse_white_space(text):
    return re.sub(r"\s+", " ", text).strip()


def subject_is_undeclared_8bit(data):
    """True when the first Subject holds raw 8-bit bytes. Python's email package leaves them
    undecoded (no charset names them), so it gives no reference for such a subject."""
    raw = first_header(data, b"subject")
    return raw is not None and any(byte >= 0x80 for byte in raw)


def reference_subject(data):
    """What Python's email package makes of the first Subject of the top-level header, with
    white space runs collapsed; raw 8-bit bytes Python leaves undecoded are read as UTF-8."""
    raw = first_header(data, b"subject")
    if raw is None:
        return NO_SUBJECT
    text = raw.decode("ascii", "surrogateescape")
    try:
        text = str(email.header.make_header(email.header.decode_header(text)))
    except Exception:  # an undecodable reference keeps the raw text; the rate shows it
        pass
    text = text.encode("utf-8", "surrogateescape").decode("utf-8", "replace")
    return collapse_white_space(text) or NO_SUBJECT


def scanned_subject(record):
    return collapse_white_space(str(record.get("subject") or "")) or NO_SUBJECT

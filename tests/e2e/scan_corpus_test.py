#!/usr/bin/env python3
"""Scans disk images built from every corpus message with `quillon scan --json` and holds the
records against the images' ground truth (tools/quillon-mkimage).

For each layout (deleted files, a mail store, an mbox file, mails cut by chunk boundaries, a mail
in a trailing partial sector):
- every strictly expected mail is reported exactly once at its trace line (in a store also 16
  bytes later, where text moved over a removed block header); in a store, so is every mail whose
  block headers between trace line and header end are removed with a certain outcome;
- no record lies outside the mails, and no two records share a position;
- the decoded subjects of the expected mails agree with Python's email package for at least
  97 % of them (subjects with undeclared 8-bit bytes, which Python leaves undecoded, are counted
  but not compared).
The deleted and store layouts are then rebuilt behind a shift that crosses a sector and a chunk
boundary: every record must come back with its position moved by exactly the shift.
"""

import collections
import sys
import pathlib

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

LAYOUTS = (("deleted", ()), ("dbx", ()), ("mbox", ()), ("straddle", ()), ("tail", ()))
CHUNK = 1 << 20
SHIFTS = {"deleted": CHUNK - 517,  # odd: crosses a sector and a chunk boundary
          "dbx": CHUNK - 516}      # a store keeps its 4-byte alignment
SUBJECT_AGREEMENT = 0.97
MAX_SUBJECT_LINES = 30
MAX_LISTED = 15
POSITION_FIELDS = ("index", "sector", "offset")


class Report:
    def __init__(self):
        self.failures = []
        self.subject_lines = []
        self.subject_files_shown = set()

    def fail(self, layout, message):
        self.failures.append(f"{layout}: {message}")
        print(f"  FAIL {message}")


def promised_mails(truth):
    """(name, mails) the scan must report exactly once where the truth says."""
    promises = [("strict", [mail for mail in truth["mails"] if mail["strict_expected"]])]
    if truth["layout"] == "dbx":
        promises.append(("across store blocks",
                         [mail for mail in truth["mails"]
                          if mail["expected_across_blocks"] and not mail["strict_expected"]]))
    return promises


def promised_files(truth):
    return {mail["file"] for _, mails in promised_mails(truth) for mail in mails}


def evaluate(layout, truth, records, originals, report):
    """Prints the figures of one scan and records its failures; returns the records by
    position."""
    positions = [support.position(record) for record in records]
    by_position = collections.defaultdict(list)
    for record, at in zip(records, positions):
        by_position[at].append(record)
    extents = support.MailExtents(truth)

    matched = []  # (mail, record)
    claimed = set()
    figures = []
    for promise, mails in promised_mails(truth):
        missed = []
        for mail in mails:
            found = [(at, record) for at in support.expected_positions(truth, mail)
                     for record in by_position.get(at, [])]
            if len(found) == 1:
                matched.append((mail, found[0][1]))
                claimed.add(found[0][0])
            else:
                missed.append(f"{mail['file']} at {mail['trace_offset']} found {len(found)} times")
        figures.append(f"{promise} {len(mails)}, matched {len(mails) - len(missed)}")
        if missed:
            report.fail(layout, f"{len(missed)} {promise} mails not reported exactly once: "
                                f"{missed[:MAX_LISTED]}")

    outside = [at for at in positions if extents.mail_at(at) is None]
    duplicates = sorted(at for at, group in by_position.items() if len(group) > 1)
    extra = sum(1 for at in positions if at not in claimed)
    print(f"  mails {len(truth['mails'])}, {', '.join(figures)}, found {len(records)}, "
          f"extra {extra}, outside {len(outside)}, duplicates {len(duplicates)}")
    if outside:
        report.fail(layout, f"{len(outside)} records outside every mail, at {outside[:MAX_LISTED]}")
    if duplicates:
        report.fail(layout, f"{len(duplicates)} positions reported twice: "
                            f"{duplicates[:MAX_LISTED]}")
    check_subjects(layout, matched, originals, report)
    return by_position


def check_subjects(layout, matched, originals, report):
    """Decoded subjects against Python's email package. Subjects with undeclared 8-bit bytes are
    left out: Python does not decode them, and the scanner reads them in a code page of its
    choosing."""
    comparable = [(mail, record) for mail, record in matched
                  if not support.subject_is_undeclared_8bit(originals[mail["file"]])]
    if not comparable:
        return
    disagreements = []
    for mail, record in comparable:
        expected = support.reference_subject(originals[mail["file"]])
        got = support.scanned_subject(record)
        if got != expected:
            disagreements.append((mail["file"], expected, got))
    rate = 1 - len(disagreements) / len(comparable)
    print(f"  subjects agree for {len(comparable) - len(disagreements)} of {len(comparable)} "
          f"({rate:.1%}); {len(matched) - len(comparable)} with undeclared 8-bit bytes not "
          f"compared")
    for file, expected, got in disagreements:
        if file in report.subject_files_shown or len(report.subject_lines) >= MAX_SUBJECT_LINES:
            continue
        report.subject_files_shown.add(file)
        line = f"{file}: python {expected!r} / quillon {got!r}"
        report.subject_lines.append(line)
        print(f"    subject differs: {line}")
    if rate < SUBJECT_AGREEMENT:
        report.fail(layout, f"subjects agree for only {rate:.1%} of the found mails "
                            f"(at least {SUBJECT_AGREEMENT:.0%} required)")


def record_fields(record):
    return {key: value for key, value in record.items() if key not in POSITION_FIELDS}


def check_shift(layout, shift, plain_truth, plain_records, moved_truth, moved_records, report):
    """Every record moves by exactly the shift. Only the sector-counted header limit may
    differ between the two builds, so a record may be missing on one side only where no
    promise holds in both."""
    promised_in_both = promised_files(plain_truth) & promised_files(moved_truth)
    must_match = set()
    for mail in plain_truth["mails"]:
        if mail["file"] in promised_in_both:
            must_match.update(support.expected_positions(plain_truth, mail))
    moved_back = {at - shift: group for at, group in moved_records.items()}
    mismatched, unpaired, tolerated = [], [], []
    for at in sorted(set(plain_records) | set(moved_back)):
        before = plain_records.get(at, [])
        after = moved_back.get(at, [])
        if len(before) == len(after):
            if [record_fields(r) for r in before] != [record_fields(r) for r in after]:
                mismatched.append(at)
        elif at in must_match:
            unpaired.append(f"{at}: {len(before)} before, {len(after)} after")
        else:
            tolerated.append(at)
    print(f"  shift {shift}: {len(plain_records)} positions before, {len(moved_back)} after, "
          f"{len(tolerated)} unpaired where the 8-sector limit may differ")
    if mismatched:
        report.fail(f"{layout}+shift", f"{len(mismatched)} records changed fields with the shift, "
                                       f"at {mismatched[:MAX_LISTED]}")
    if unpaired:
        report.fail(f"{layout}+shift", f"{len(unpaired)} expected records did not move with the "
                                       f"shift: {unpaired[:MAX_LISTED]}")


def scan_layout(binary, source_dir, work, corpus, layout, extra, shift, originals, report):
    name = f"{layout}-shift" if shift else layout
    image, truth = support.build_image(source_dir, work, name, layout, [corpus], shift=shift,
                                       extra=extra)
    # The trace-line rule alone: the ground truth says where that rule finds each mail.
    records, error = support.run_scan(binary, image, ["--strict"])
    if error:
        report.fail(name, error)
    print(f"{name}: {truth['image_size']} bytes")
    by_position = evaluate(name, truth, records, originals, report)
    image.unlink()
    return truth, by_position


def main():
    options = support.parse_arguments(__doc__)
    corpus = support.corpus_dir(options.source_dir)
    if corpus is None:
        support.skip(support.CORPUS_MISSING)
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")
    if not support.quillon_supports_scan(binary):
        support.skip(f"{binary} has no scan command yet")
    originals = {path.name: path.read_bytes() for path in support.mail_files(corpus)}

    report = Report()
    with support.ScratchDir(options.build_dir, "scan-corpus", options.keep) as scratch:
        for layout, extra in LAYOUTS:
            truth, records = scan_layout(binary, options.source_dir, scratch.path, corpus, layout,
                                         extra, 0, originals, report)
            if layout in SHIFTS:
                shift = SHIFTS[layout]
                moved_truth, moved_records = scan_layout(binary, options.source_dir, scratch.path,
                                                         corpus, layout, extra, shift, originals,
                                                         report)
                check_shift(layout, shift, truth, records, moved_truth, moved_records, report)
        scratch.finish(not report.failures)

    if report.failures:
        print(f"\n{len(report.failures)} failures:")
        for failure in report.failures:
            print(f"  {failure[:600]}")
        return support.FAIL
    print("\nall layouts passed")
    return support.PASS


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""A small run of the recovery measurement (tests/e2e/recovery_measure.py) as a test.

First the measurement's own rules, on hand-made truth and records: which positions are right,
how a wrong record is named, when a saved text is complete or exact, and which file name the
save run gives each mail. Then images of every layout built from a spread-out share of the
corpus, each scanned with --strict and without:
- with --strict, every strictly expected mail (in a store also every mail expected across
  block headers) is reported exactly once at its trace line, no record lies outside every
  mail (a decoy included), and no two records share a position;
- without --strict, every strict record is reported at the same position too;
- the mixed image holds what its truth says (tools/mkimage/mixed_check.py).
- without --strict, the recall, precision and completeness targets hold (--report-only prints
  them without failing).
"""

import sys
import pathlib

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402
import measure_support as shared  # noqa: E402
import recovery_measure as measure  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import mixed_check  # noqa: E402

SUBSET_MAILS = 96
MAX_LISTED = 10


class Failures:
    def __init__(self):
        self.items = []

    def expect(self, condition, context, message):
        if not condition:
            self.items.append(f"{context}: {message}")
            print(f"  FAIL {context}: {message}")


# The measurement's rules on hand-made cases.

def hand_made_truth():
    """Three mails: a plain one with a trace line (0), a store mail in two pieces whose trace
    line lies in the second (1), a mail behind a blank line with an embedded message (2); and
    a decoy."""
    return {
        "layout": "mixed",
        "decoys": [[9000, 9400, "quoted-reply"]],
        "mails": [
            {"file": "a", "start": 1000, "end": 1600, "header_start": 1000, "trace_offset": 1040,
             "has_from": True, "has_date": True, "embedded": [], "copy_of": None,
             "strict_expected": True},
            {"file": "b", "start": 4016, "end": 5528, "header_start": 4016,
             "pieces": [[4016, 4100], [5016, 5528]], "store_chain": [0, 1],
             "trace_offset": 5030, "has_from": True, "has_date": False, "embedded": [],
             "copy_of": None, "strict_expected": False},
            {"file": "c", "start": 7000, "end": 8000, "header_start": 7010,
             "trace_offset": None, "has_from": True, "has_date": True,
             "embedded": [[7500, 7900]], "copy_of": None, "strict_expected": False},
        ],
    }


def record(at, index=1, **fields):
    return {"index": index, "sector": at // 512, "offset": at % 512, **fields}


# (position, what the locator must call it: a mail index for a right position, else a kind)
LOCATOR_CASES = (
    (1000, 0), (1040, 0), (1041, "inside"), (999, "outside"), (1600, "outside"),
    (4016, 1), (5030, 1), (5046, 1), (5047, "inside"), (4100, "inside"),
    (7000, 2), (7010, 2), (7005, "inside"), (7500, "embedded"), (7899, "embedded"),
    (7900, "inside"), (9000, "decoy"), (9399, "decoy"), (9400, "outside"),
)

# (saved text, the mail as it lies, layout, complete, exact)
TEXT_CASES = (
    (b"abc", b"abc", "deleted", True, True),
    (b"xabcx", b"abc", "deleted", True, False),
    (b"ab", b"abc", "deleted", False, False),
    (b"", b"abc", "deleted", False, False),
    (b"a  b\t", b"a\x01\x07b\t", "deleted", True, True),
    (b"a\r\n>From x\r\n", b"a\r\n>From x\r\n", "mbox", True, True),
    (b"a\r\nFrom x\r\n\r\n", b"a\r\n>From x\r\n", "mbox", True, False),
    (b"a\r\nFrom x\r\n", b"a\r\n>From x\r\n", "deleted", False, False),
)

# (records as (subject, date), expected file names)
NAME_CASES = (
    ((("Hello", "2001-01-01 00:00:00"),),
     (b"Hello_[2001-01-01 00 00 00].eml",)),
    ((("Same", "d"), ("Same", "d"), ("Same", "d")),
     (b"Same_[d].eml", b"Same_[d]_1.eml", b"Same_[d]_2.eml")),
    ((("Same", "d"), ("Other", "d"), ("Same", "d")),
     (b"Same_[d].eml", b"Other_[d].eml", b"Same_[d]_1.eml")),
    ((("a:b/c?d*e\t|\"<>\\", "1:2"),), (b"a b c d e      _[1 2].eml",)),
    ((("12345678901234567890123", "d"),), (b"12345678901234567890_[d].eml",)),
    # 19 units and a surrogate pair: the cut leaves a lone high surrogate.
    ((("a" * 19 + "\U0001F600", "d"),), (("a" * 19 + "\ufffd_[d].eml").encode(),)),
    ((("a" * 18 + "\U0001F600", "d"),), (("a" * 18 + "\U0001F600_[d].eml").encode(),)),
    ((("", ""),), (b"_[].eml",)),
)


def check_rules(failures):
    truth = hand_made_truth()
    locator = shared.Locator(truth)
    for at, expected in LOCATOR_CASES:
        owners = locator.mails_starting_at(at)
        got = owners[0] if owners else locator.wrong_kind(at)
        failures.expect(got == expected, f"position {at}", f"called {got!r}, not {expected!r}")

    image = bytearray(10000)
    image[7000:7010] = b"  \t     \r\n"
    image[7010:8000] = b"From: a\x01\r\n" + b"x" * (990 - 10)
    reference = shared.reference_text(image, truth["mails"][2])
    failures.expect(reference.startswith(b"From: a \r\n") and len(reference) == 990,
                    "reference text", f"begins {reference[:12]!r}, {len(reference)} bytes")
    # A further message the mail file holds behind a mailbox separator of its own.
    contained = {"layout": "deleted", "mails": [
        {"file": "f", "start": 0, "end": 900, "header_start": 0, "trace_offset": None,
         "has_from": True, "has_date": True, "embedded": [], "mailbox_messages": [[400, 450]]}]}
    folder = shared.Locator(contained)
    for at, expected in ((400, True), (450, True), (434, True), (401, False)):
        failures.expect((folder.contained_at(at) is not None) == expected,
                        f"position {at} in a mail file with a further message",
                        f"contained is {not expected}")
    image[4016:4100] = b"p" * 84
    image[5016:5528] = b"q" * 512
    joined = shared.reference_text(image, truth["mails"][1])
    failures.expect(joined == b"p" * 84 + b"q" * 512, "reference text of a store chain",
                    f"{len(joined)} bytes")

    for saved, laid_out, layout, complete, exact in TEXT_CASES:
        figures = evaluate_one(saved, laid_out, layout)
        failures.expect((figures["complete"], figures["exact"]) == (complete, exact),
                        f"saved {saved!r} for {laid_out!r} in {layout}",
                        f"complete {figures['complete']}, exact {figures['exact']}")

    for entries, expected in NAME_CASES:
        records = [{"subject": subject, "date": date} for subject, date in entries]
        got = tuple(shared.predicted_file_names(records))
        failures.expect(got == expected, f"file names for {entries}", f"got {got}")

    # Figures of a whole scan: one right record per mail, a repeat, an embedded one, a decoy.
    records = [record(1040, 1, duplicate_of=None), record(1000, 2), record(7010, 3),
               record(7600, 4), record(9100, 5)]
    figures = measure.evaluate(truth, bytes(10000), records, None, False)
    failures.expect((figures["found"], figures["found_target"], figures["right"]) == (2, 2, 2),
                    "scan figures", f"found {figures['found']}, of them with From and Date "
                                    f"{figures['found_target']}, right {figures['right']}")
    failures.expect(figures["false"] == {"repeat": 1, "embedded": 1, "inside": 0, "decoy": 1,
                                         "outside": 0}, "scan figures",
                    f"false records {figures['false']}")
    failures.expect(figures["precision"] == 2 / 5 and figures["recall_target"] == 1.0,
                    "scan figures", f"precision {figures['precision']}, recall of mails with "
                                    f"From and Date {figures['recall_target']}")


class FixedTexts:
    def __init__(self, texts):
        self.texts = texts

    def fetch(self, numbers):
        pass

    def text(self, number):
        return self.texts.get(number)


def evaluate_one(saved, laid_out, layout):
    truth = {"layout": layout, "mails": [
        {"file": "a", "start": 100, "end": 100 + len(laid_out), "header_start": 100,
         "trace_offset": None, "has_from": True, "has_date": True, "embedded": []}]}
    image = bytes(100) + laid_out
    figures = measure.evaluate(truth, image, [record(100)], FixedTexts({1: saved}), False)
    return {"complete": figures["complete"] == 1, "exact": figures["exact"] == 1}


# The small measurement.

def check_strict(run, failures):
    truth = run.truth
    records = run.records["strict"]
    positions = [support.position(record) for record in records]
    counts = {}
    for at in positions:
        counts[at] = counts.get(at, 0) + 1
    missed = []
    for mail in truth["mails"]:
        if mail["strict_expected"] or mail.get("expected_across_blocks"):
            found = sum(counts.get(at, 0) for at in support.expected_positions(truth, mail))
            if found != 1:
                missed.append(f"{mail['file']}@{mail['trace_offset']} x{found}")
    extents = support.MailExtents(truth)
    outside = [at for at in positions if extents.mail_at(at) is None]
    doubled = sorted(at for at, count in counts.items() if count > 1)
    failures.expect(not missed, f"{run.name} --strict",
                    f"{len(missed)} expected mails not reported once: {missed[:MAX_LISTED]}")
    failures.expect(not outside, f"{run.name} --strict",
                    f"{len(outside)} records outside every mail: {outside[:MAX_LISTED]}")
    failures.expect(not doubled, f"{run.name} --strict",
                    f"positions reported twice: {doubled[:MAX_LISTED]}")
    missing = run.strict_missing_in_default
    failures.expect(not missing, f"{run.name} default",
                    f"{len(missing)} strict records not reported at the same position: "
                    f"{missing[:MAX_LISTED]}")


def main():
    def add_options(parser):
        parser.add_argument("--report-only", action="store_true",
                            help="print the recall, precision and completeness targets only")
    options = support.parse_arguments(__doc__.splitlines()[0], None, add_options)
    failures = Failures()
    print("measurement rules:")
    check_rules(failures)
    if failures.items:
        return support.FAIL

    corpus = support.corpus_dir(options.source_dir)
    if corpus is None:
        support.skip(support.CORPUS_MISSING)
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")
    if not support.quillon_supports_scan(binary):
        support.skip(f"{binary} has no scan command yet")
    inputs = shared.spread_subset(support.mail_files(corpus), SUBSET_MAILS)
    originals = {path.name: path.read_bytes() for path in inputs}

    runs = []
    with support.ScratchDir(options.build_dir, "recovery", options.keep) as scratch:
        print(measure.HEADER)
        for name in measure.LAYOUTS:
            run = measure.measure_layout(binary, options.source_dir, scratch.path, inputs, name)
            measure.print_layout(run)
            for error in run.errors:
                failures.expect(False, run.name, error)
            check_strict(run, failures)
            if run.truth["layout"] == "mixed":
                found, _checks = mixed_check.check_image(run.image_path, run.truth, originals)
                for failure in found[:MAX_LISTED]:
                    failures.expect(False, "mixed image", failure)
            run.image_path.unlink()
            runs.append(run)
        totals = measure.overall([run.figures["default"] for run in runs])
        for target in measure.target_results(totals):
            verdict = "PASS" if target["passed"] else "FAIL"
            print(f"target {verdict}: {target['target']} {shared.percent(target['value'])}")
            if not options.report_only:
                failures.expect(target["passed"], "target", f"{target['target']} is "
                                f"{shared.percent(target['value'])}, below "
                                f"{target['threshold'] * 100:g}%")
        scratch.finish(not failures.items)

    if failures.items:
        print(f"FAILED: {len(failures.items)} problems")
        return support.FAIL
    print("PASSED")
    return support.PASS


if __name__ == "__main__":
    sys.exit(main())

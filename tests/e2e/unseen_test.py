#!/usr/bin/env python3
"""The measure on unseen disks (tests/e2e/unseen_measure.py) in its quick form, as a test.

First its own rules on hand-made truth and records: the corpus split never moves a mail from
one half to the other; a mail is found, whole and byte-exact as the targets count it; a record
outside every mail is counted; a duplicate mark is right only between copies by their bytes
(a copy cut short included, a look-alike not); the --strict baseline tells a changed result
from a stale one. Then the quick measure (a few mails per half and class) with the real
binaries. It asserts only what must never regress, not the targets the carver does not reach
yet:
- every image is built, scanned and saved in both modes;
- --strict: every strictly expected mail reported exactly once at its trace line, no record
  outside every mail, every record also reported by the default mode;
- --strict records and saved files are those recorded in tests/e2e/unseen_strict_baseline.json.
"""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402
import unseen_figures as figures_of  # noqa: E402
import unseen_measure as measure  # noqa: E402
import unseen_report as report  # noqa: E402


class Failures:
    def __init__(self):
        self.items = []

    def expect(self, condition, context, message):
        if not condition:
            self.items.append(f"{context}: {message}")
            print(f"  FAIL {context}: {message}")


# Which half a file is in must never change: the held-out half would no longer be held out.
SPLIT_CASES = (("0001.eml", "held-out"), ("0002.eml", "tuning"), ("0003.eml", "tuning"),
               ("0100.eml", "held-out"), ("0288.eml", "held-out"), ("0576.eml", "tuning"))

MAIL = (b"From: a@example.net\r\nDate: Mon, 1 Jan 2001 00:00:00 +0000\r\nSubject: s\r\n\r\n"
        b"Body one.\r\nBody two.\r\n")
LOOKALIKE = MAIL.replace(b"Body one.", b"Body 1ne.")
OTHER = b"From: c@example.net\r\nSubject: no date\r\n\r\nx\r\n"


def mail_entry(name, start, text, copy_of=None, has_date=True):
    return {"file": name, "start": start, "end": start + len(text), "header_start": start,
            "trace_offset": None, "has_from": True, "has_date": has_date, "embedded": [],
            "copy_of": copy_of, "strict_expected": False}


def hand_made_scan():
    """A mail (0), a copy (1), a copy cut short (2), a look-alike (3), a mail without Date (4);
    records at each, one inside the look-alike, one outside every mail."""
    truth = {"layout": "copies", "shift": 0, "decoys": [], "mails": [
        mail_entry("a", 1000, MAIL), mail_entry("a", 2000, MAIL, copy_of=0),
        mail_entry("a", 3000, MAIL[:-5], copy_of=0), mail_entry("b", 4000, LOOKALIKE),
        mail_entry("c", 5000, OTHER, has_date=False)]}
    image = bytearray(7000)
    for mail, text in zip(truth["mails"], (MAIL, MAIL, MAIL[:-5], LOOKALIKE, OTHER)):
        image[mail["start"]:mail["end"]] = text

    def record(index, at, duplicate_of=None):
        return {"index": index, "sector": at // 512, "offset": at % 512,
                "duplicate_of": duplicate_of, "subject": "s"}
    records = [record(1, 1000), record(2, 2000, 1), record(3, 3000, 1), record(4, 4000, 1),
               record(5, 4030, 4), record(6, 6000), record(7, 5000)]
    saved = FixedTexts({1: MAIL, 2: MAIL + b"old slack", 3: MAIL[MAIL.find(b"Date"):-5],
                        4: LOOKALIKE, 7: OTHER})
    return truth, bytes(image), records, saved


class FixedTexts:
    def __init__(self, texts):
        self.texts = texts

    def fetch(self, numbers):
        pass

    def text(self, number):
        return self.texts.get(number)


# (saved text, the mail, what the description must say)
DESCRIBE_CASES = (
    (None, b"abc", "no saved text"),
    (b"xxMAIL TEXT", b"MAIL TEXT", "whole, with 2 bytes before it"),
    (b"MAIL TEXTyyy", b"MAIL TEXT", "whole, with 3 bytes behind it"),
    (b"MAIL", b"MAIL TEXT", "ends 5 bytes early"),
    (MAIL[21:], MAIL, "begins 21 bytes into the mail"),
    (b"MAIL TEST", b"MAIL TEXT", "differs from byte 7"),
)


class Run:
    def __init__(self, half, name, strict):
        self.half, self.name, self.strict = half, name, strict


def check_rules(failures):
    for name, half in SPLIT_CASES:
        failures.expect(measure.half_of(name) == half, f"split of {name}",
                        f"now in {measure.half_of(name)}, was in {half}")

    truth, image, records, saved = hand_made_scan()
    got = figures_of.Evaluation(truth, image, records, saved).figures
    expected = {"target_mails": 4, "found": 4, "whole": 3, "exact": 2, "outside": 1,
                "inside": 1, "copies": 2, "copies_marked": 2, "marks": 4, "marks_right": 2,
                "marks_on_no_mail": 1}
    for key, value in expected.items():
        failures.expect(got[key] == value, f"hand-made scan: {key}",
                        f"{got[key]}, expected {value}")
    wrong = got["examples"]["wrong marks"]
    failures.expect(len(wrong) == 2 and "b@4000" in wrong[0] and "no mail" in wrong[1],
                    "hand-made scan", f"wrong marks named {wrong}")

    for saved_text, reference, said in DESCRIBE_CASES:
        text = figures_of.describe_saved(saved_text, reference)
        failures.expect(said in text, f"description of {saved_text!r}", f"said {text!r}")

    entries = {"held-out/a": {"image": "i", "records": "r", "saved": "s"},
               "held-out/b": {"image": "i", "records": "r", "saved": "s"},
               "held-out/c": {"image": "old", "records": "r", "saved": "s"}}
    runs = [Run("held-out", "a", {"image": "i", "records": "r", "saved": "s"}),
            Run("held-out", "b", {"image": "i", "records": "r", "saved": "other"}),
            Run("held-out", "c", {"image": "i", "records": "r", "saved": "s"}),
            Run("held-out", "d", {"image": "i", "records": "r", "saved": "s"})]
    verdicts = measure.compare_with_baseline(entries, runs)
    failures.expect(verdicts == {"held-out/a": "same", "held-out/b": "changed",
                                 "held-out/c": "stale", "held-out/d": "missing"},
                    "baseline verdicts", str(verdicts))


def check_store_inputs(failures, corpus):
    halves = measure.split_corpus(support.mail_files(corpus))
    failures.expect(abs(len(halves["tuning"]) - len(halves["held-out"])) <= 40, "split",
                    f"halves of {len(halves['tuning'])} and {len(halves['held-out'])}")
    for half, files in halves.items():
        chosen = measure.store_inputs(files, half, measure.STORE_MAILS)
        failures.expect(len(chosen) == measure.STORE_MAILS and chosen == sorted(chosen) and
                        set(chosen) <= set(files), f"{half} store mails",
                        f"{len(chosen)} chosen")
        again = measure.store_inputs(files, half, measure.STORE_MAILS)
        failures.expect(chosen == again, f"{half} store mails", "not the same twice")
    # A name the corpus does not hold, or one of the tuning half, is a slip in the list: the
    # figure over the mails nobody looked at would silently count a seen mail.
    held_out = {path.name for path in halves["held-out"]}
    strays = sorted(figures_of.EXPOSED - held_out)
    failures.expect(figures_of.EXPOSED and not strays, "exposed list",
                    f"not held-out corpus files: {strays[:5]}" if strays else "empty")


def main():
    options = measure.parse_arguments(["--quick", "--examples", "0",
                                       *sys.argv[1:]])
    failures = Failures()
    print("measure rules:")
    check_rules(failures)
    corpus = support.corpus_dir(options.source_dir)
    if corpus is None:
        support.skip(support.CORPUS_MISSING)
    check_store_inputs(failures, corpus)
    if failures.items:
        return support.FAIL
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")

    with support.ScratchDir(options.build_dir, "unseen", options.keep) as scratch:
        print(report.HEADER)
        runs, demo = measure.measure(options, binary, corpus, scratch.path)
        every = [run for half_runs in runs.values() for run in half_runs] + [demo]
        for run in every:
            for error in run.errors:
                failures.expect(False, f"{run.half}/{run.name}", error[:300])
            for problem in report.invariant_problems(run):
                failures.expect(False, f"{run.half}/{run.name} --strict", problem)
        verdicts = measure.check_baseline(runs["held-out"] + [demo], options)
        for key, verdict in sorted(verdicts.items()):
            failures.expect(verdict == "same", f"{key} --strict", {
                "changed": "records or saved files differ from the recorded baseline",
                "stale": "the image differs from the one the baseline was recorded on: record "
                         "it again with a build of main (unseen_measure.py --quick "
                         "--record-baseline)",
                "missing": "no baseline recorded (unseen_measure.py --quick "
                           "--record-baseline)"}.get(verdict, verdict))
        scratch.finish(not failures.items)
    if failures.items:
        print(f"FAILED: {len(failures.items)} problems")
        return support.FAIL
    print(f"PASSED: {len(verdicts)} held-out images with --strict as recorded")
    return support.PASS


if __name__ == "__main__":
    sys.exit(main())

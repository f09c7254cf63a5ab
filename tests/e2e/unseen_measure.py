#!/usr/bin/env python3
"""Measures how many mails quillon saves whole and byte-exact from disks it was not tuned on.

The corpus (../shared/corpus/messages) is split in two halves by the file name: a mail is in
the TUNING half when the first byte of the SHA-256 of its file name (UTF-8) is even, else in
the HELD-OUT half (288 and 288 of the 576 mails). Work on the carver may look at the tuning
half's figures and images as much as it likes; the held-out half's figures are the ones that
count, and nobody tunes on them. Held-out files whose text was seen all the same are listed in
tests/e2e/unseen_exposed.txt; "saved whole" is also given over the mails nobody looked at, and
that figure must reach its target too.

From each half one image per class is built (tools/quillon-mkimage), the held-out ones with
other seeds and the `held-out` mix (other weights of places and of the data around mails, and
kinds of data, long headers and store layouts the tuning mix never uses; tools/mkimage/
mixes.py):

| class | builder | what it holds |
| --- | --- | --- |
| glued | glued | a mail's first line right behind other bytes, inside a sector |
| glued-chunk | glued-chunk | the same, with a 1 MiB boundary cutting the header block |
| sector | sector | a mail at a sector start behind other data |
| slack | slack | a mail whose last byte is followed directly by old data (no NUL) |
| copies | copies | live store copies and deleted copies, copies cut short, look-alikes |
| no-trace | disk --case no-trace | mails without any Received line |
| lf | disk --case lf | LF-only single files at cluster starts |
| long-header | disk --case long-header | header blocks of 9 to 20 KB (over 9 sectors) |
| store-scattered | scattered-store --case sent | a 28-mail store (sent items, no trace |
| | | lines) deleted and scattered in 4 KiB clusters among other data |
| store-whole | dbx --case sent | the same 28 mails in one store in one piece (a control) |

and the demo image (tools/demo-mails as scripts/run-demo.sh builds it: deleted, seed 7).
`quillon scan --json` and `quillon save` run on each, with --strict and without; the figures
(tests/e2e/unseen_figures.py) are those the carver is judged by, per half, in the default mode:

- mails with From and Date found, per class (target >= 97 % in every class);
- saved whole, and byte-exact, of the mails with From and Date (>= 98 %, >= 96 %);
- records outside any mail, of all records (<= 0.3 %);
- later copies marked duplicate_of, and marks that are right (>= 97 % each);
- demo mails saved byte-exact (8 of 8); scattered store mails byte-exact (>= 27 of 28).

--strict must not change: the records and saved files of the --strict runs on the held-out
images (and the demo) are hashed and compared with tests/e2e/unseen_strict_baseline.json
(one set for the full run, one for --quick). A baseline whose image hash differs is stale (the
builder or the corpus changed): record it again from a build of the main branch with
--record-baseline. --baseline-binary OLD compares the --strict output with that of another
build directly on the same images and names the records that differ.

Prints a table per half, the targets' table with PASS/FAIL for the held-out half, examples of
failing mails of the tuning half (the held-out half's only go into the JSON document), and with
--json FILE everything. Exits 0 whatever the
figures; 1 when a scan could not be run. --quick builds from a few mails per half (for ctest).
"""

import hashlib
import json
import pathlib
import random
import shutil
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402
import unseen_figures as figures_of  # noqa: E402
import unseen_report as report  # noqa: E402
from measure_support import ImageFile, SavedTexts, spread_subset  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import mailtext, variants  # noqa: E402

HALVES = ("tuning", "held-out")
# name -> (builder layout, --case)
CLASSES = {
    "glued": ("glued", None),
    "glued-chunk": ("glued-chunk", None),
    "sector": ("sector", None),
    "slack": ("slack", None),
    "copies": ("copies", None),
    "no-trace": ("disk", "no-trace"),
    "lf": ("disk", "lf"),
    "long-header": ("disk", "long-header"),
    "store-scattered": ("scattered-store", "sent"),
    "store-whole": ("dbx", "sent"),
}
STORE_CLASSES = ("store-scattered", "store-whole")
STORE_MAILS = 28
SEEDS = {"tuning": 1400, "held-out": 2900}  # plus the class's number
MODES = (("strict", ("--strict",)), ("default", ()))
BASELINE = pathlib.Path(__file__).resolve().parent / "unseen_strict_baseline.json"
QUICK_MAILS = 12


def half_of(name):
    """The half a corpus file belongs to, by the first byte of the SHA-256 of its name."""
    return "tuning" if hashlib.sha256(name.encode("utf-8")).digest()[0] % 2 == 0 \
        else "held-out"


def split_corpus(files):
    halves = {half: [] for half in HALVES}
    for path in files:
        halves[half_of(path.name)].append(path)
    return halves


def store_inputs(files, half, count):
    """`count` mails of the half whose sent copy has From, To and Date and is at most 48 KiB,
    drawn by a seed of the half's own."""
    usable = []
    for path in files:
        text = variants.sent_copy(path.read_bytes())
        _start, lines, header_end = mailtext.shape_lines(text)
        names = {bytes(text[start:start + 6]).lower() for start, _end in lines}
        if header_end is not None and len(text) <= 48 * 1024 and \
                {b"from: ", b"date: "} <= names and any(name.startswith(b"to: ") for name in names):
            usable.append(path)
    chosen = random.Random(f"store-{half}").sample(usable, min(count, len(usable)))
    return sorted(chosen)


def digest_of_file(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        for block in iter(lambda: file.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def digest_of_saved(files):
    digest = hashlib.sha256()
    for name in sorted(files):
        digest.update(hashlib.sha256(name).digest() + hashlib.sha256(files[name]).digest())
    return digest.hexdigest()


def digest_of_records(records):
    return hashlib.sha256(json.dumps(records, sort_keys=True).encode("utf-8")).hexdigest()


class ImageRun:
    """One image: built, scanned and saved in both modes, and its figures."""

    def __init__(self, half, name, truth, image_path):
        self.half = half
        self.name = name
        self.truth = truth
        self.image_path = image_path
        self.records = {}
        self.saved_files = {}
        self.figures = {}
        self.errors = []
        self.problems = []
        self.strict = {}
        self.invariants = {}
        self.seconds = 0.0


def run_image(options, binary, work, half, name, layout, inputs, seed, extra):
    started = time.monotonic()
    image_path, truth = support.build_image(options.source_dir, work, f"{half}-{name}", layout,
                                            inputs, seed=seed, extra=extra)
    run = ImageRun(half, name, truth, image_path)
    image = ImageFile(image_path)
    for mode, mode_options in MODES:
        records, error = support.run_scan(binary, image_path, mode_options)
        if error:
            run.errors.append(f"{mode}: {error}")
        out = work / f"{half}-{name}-{mode}-out"
        saved = SavedTexts(binary, image_path, records, out, mode_options, options.jobs)
        shutil.rmtree(out, ignore_errors=True)
        run.problems += [f"{mode}: {problem}" for problem in saved.problems]
        run.records[mode] = records
        run.saved_files[mode] = saved.files
        run.figures[mode] = figures_of.Evaluation(truth, image, records, saved).figures
    image.close()
    run.invariants = figures_of.strict_invariants(truth, run.records["strict"],
                                                  run.records["default"])
    run.strict = {"image": digest_of_file(image_path),
                  "records": digest_of_records(run.records["strict"]),
                  "saved": digest_of_saved(run.saved_files["strict"]),
                  "count": len(run.records["strict"])}
    if options.baseline_binary:
        run.strict["against_binary"] = compare_binaries(options, work, run)
    run.seconds = time.monotonic() - started
    return run


def compare_binaries(options, work, run):
    """Differences between this build's --strict output and the baseline build's."""
    records, error = support.run_scan(options.baseline_binary, run.image_path, ("--strict",))
    if error:
        return [f"the baseline binary failed: {error[:200]}"]
    differences = []
    if records != run.records["strict"]:
        old = {support.position(record): record for record in records}
        new = {support.position(record): record for record in run.records["strict"]}
        for at in sorted(set(old) | set(new)):
            if old.get(at) != new.get(at):
                differences.append(f"record at {at}: was {json.dumps(old.get(at))[:160]}, now "
                                   f"{json.dumps(new.get(at))[:160]}")
    out = work / f"{run.half}-{run.name}-baseline-out"
    saved = SavedTexts(options.baseline_binary, run.image_path, records, out, ("--strict",), 1)
    shutil.rmtree(out, ignore_errors=True)
    if saved.files != run.saved_files["strict"]:
        changed = sorted(set(saved.files) ^ set(run.saved_files["strict"]) |
                         {name for name in saved.files
                          if run.saved_files["strict"].get(name, saved.files[name]) !=
                          saved.files[name]})
        names = [name.decode("utf-8", "replace") for name in changed[:5]]
        differences.append(f"saved files differ: {names}")
    return differences


def compare_with_baseline(entries, runs):
    """Per image: same, changed, stale (the image itself differs) or missing, against the
    recorded entries ("half/class" -> hashes)."""
    verdicts = {}
    for run in runs:
        key = f"{run.half}/{run.name}"
        entry = entries.get(key)
        if entry is None:
            verdicts[key] = "missing"
        elif entry["image"] != run.strict["image"]:
            verdicts[key] = "stale"
        elif (entry["records"], entry["saved"]) == (run.strict["records"], run.strict["saved"]):
            verdicts[key] = "same"
        else:
            verdicts[key] = "changed"
    return verdicts


def check_baseline(runs, options):
    recorded = json.loads(BASELINE.read_text(encoding="utf-8")) if BASELINE.exists() else {}
    return compare_with_baseline(recorded.get(options.baseline_set, {}), runs)


def record_baseline(runs, options):
    recorded = json.loads(BASELINE.read_text(encoding="utf-8")) if BASELINE.exists() else {}
    recorded["about"] = ("--strict records and saved files of the held-out images of "
                         "tests/e2e/unseen_measure.py, hashed; written by --record-baseline")
    recorded[options.baseline_set] = {f"{run.half}/{run.name}": run.strict for run in runs}
    BASELINE.write_text(json.dumps(recorded, indent=1, sort_keys=True) + "\n", encoding="utf-8")


def measure(options, binary, corpus, work):
    """Builds, scans and judges every image; returns (runs per half, the demo run)."""
    halves = split_corpus(support.mail_files(corpus))
    runs = {half: [] for half in options.halves}
    for half in options.halves:
        files = spread_subset(halves[half], options.mails)
        for number, name in enumerate(options.classes):
            layout, case = CLASSES[name]
            extra = ["--mix", half]
            if case:
                extra += ["--case", case]
            inputs = files
            if name in STORE_CLASSES:
                inputs = store_inputs(halves[half], half,
                                      STORE_MAILS if not options.mails else
                                      min(STORE_MAILS, options.mails))
            run = run_image(options, binary, work, half, name, layout, inputs,
                            SEEDS[half] + number, extra)
            report.print_class(run)
            if not options.keep:
                run.image_path.unlink()
            runs[half].append(run)
    demo = run_image(options, binary, work, "demo", "demo", "deleted",
                     [options.source_dir / "tools" / "demo-mails"], 7, [])
    report.print_class(demo)
    return runs, demo


def parse_arguments(argv=None):
    def add_options(parser):
        parser.add_argument("--json", type=pathlib.Path, help="write the figures to this file")
        parser.add_argument("--binary", type=pathlib.Path,
                            help="the quillon to measure (default: BUILD/bin/quillon)")
        parser.add_argument("--quick", action="store_true",
                            help=f"{QUICK_MAILS} mails per half and class (for ctest)")
        parser.add_argument("--mails", type=int, default=0,
                            help="use this many mails per half, spread over it (default all)")
        parser.add_argument("--classes", default=",".join(CLASSES),
                            help="comma-separated classes (default all)")
        parser.add_argument("--halves", default=",".join(HALVES),
                            help="tuning, held-out or both (default)")
        parser.add_argument("--baseline-binary", type=pathlib.Path,
                            help="compare the --strict output with this build's")
        parser.add_argument("--record-baseline", action="store_true",
                            help="write the --strict hashes to unseen_strict_baseline.json")
        parser.add_argument("--examples", type=int, default=2,
                            help="failing mails of the tuning half printed per class and kind "
                                 "(default 2)")
        parser.add_argument("--jobs", type=int, default=2,
                            help="parallel `quillon show` runs when they are needed")
    options = support.parse_arguments(__doc__.splitlines()[0], argv, add_options)
    if options.quick and not options.mails:
        options.mails = QUICK_MAILS
    options.baseline_set = "full" if options.mails == 0 else f"mails-{options.mails}"
    options.classes = [name.strip() for name in options.classes.split(",") if name.strip()]
    options.halves = [name.strip() for name in options.halves.split(",") if name.strip()]
    unknown = [name for name in options.classes if name not in CLASSES] + \
        [name for name in options.halves if name not in HALVES]
    if unknown:
        raise SystemExit(f"unknown classes or halves {unknown}; known: {', '.join(CLASSES)}; "
                         f"{', '.join(HALVES)}")
    return options


def main(argv=None):
    options = parse_arguments(argv)
    corpus = support.corpus_dir(options.source_dir)
    if corpus is None:
        support.skip(support.CORPUS_MISSING)
    binary = options.binary or options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")
    started = time.monotonic()
    with support.ScratchDir(options.build_dir, "unseen-measure", options.keep) as scratch:
        print(report.HEADER)
        runs, demo = measure(options, binary, corpus, scratch.path)
        scratch.finish(True)
    strict_runs = runs.get("held-out", []) + [demo]
    if options.record_baseline:
        record_baseline(strict_runs, options)
        print(f"--strict baseline ({options.baseline_set}) written to {BASELINE}")
    verdicts = check_baseline(strict_runs, options)
    document = report.print_summary(runs, demo, verdicts, options)
    document.update({"binary": str(binary), "corpus": str(corpus),
                     "seconds": round(time.monotonic() - started, 1)})
    print(f"{document['seconds']:.0f} s")
    if options.json:
        options.json.write_text(json.dumps(document, indent=1) + "\n", encoding="utf-8")
        print(f"figures written to {options.json}")
    if any(run.errors for half_runs in runs.values() for run in half_runs) or demo.errors:
        print("some runs of quillon failed: the figures are incomplete")
        return support.FAIL
    return support.PASS


if __name__ == "__main__":
    sys.exit(main())

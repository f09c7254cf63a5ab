#!/usr/bin/env python3
"""Measures how many mails quillon recovers whole from realistic images.

Builds an image per layout from the corpus (tools/quillon-mkimage: deleted, dbx, dbx with
shuffled blocks, mbox, straddle, tail and the mixed one), runs `quillon scan --json` and
`quillon save` with --strict and without, and holds the records and the saved .eml files
against the ground truth:

- recall: the share of mails with a record at a right position, over all mails and over the
  mails whose header has From and Date (the target population). A position is right for a
  mail when it is the mail's first byte, its first header line (behind the blank lines a few
  messages begin with), or its trace line (in a store also 16 bytes on, where text moved over
  a removed block header); every copy of a duplicated mail is a mail of its own;
- precision: the share of records that are the first record at a right position. The others
  are named: a second record of a found mail (repeat), one inside an embedded message/rfc822
  part (embedded), elsewhere inside a mail (inside), in a header-like decoy (decoy) or in no
  mail at all (outside);
- complete / exact: of the found mails, the share whose saved .eml holds the mail's bytes as
  they lie in the image (a store's chain joined, from the first header line on, bytes 0x01 to
  0x07 as blanks, as the reader hands them out; an mbox message quoted or not) whole / byte
  for byte; extra: the mean of the bytes saved beyond the mail, over the complete ones;
- with --strict, also the promises of the classic rule: every strictly expected mail (in a
  store also those expected across block headers) reported exactly once at its trace line;
  and the strict records the default mode does not report at the same position.

The saved files are mapped to the records by the names the save run gives them (subject and
date, "_N" for repeats, in found order); a mapping that does not hold (a file not predicted, a
spot check by `quillon show` that differs) falls back to `quillon show` per mail.

Targets (default mode, all layouts together): recall >= 97 % of the mails with From and Date,
precision >= 99.5 %, complete >= 97 % of the found mails. Prints a table, PASS/FAIL per target,
and with --json FILE the figures. The exit status is 0 whatever the figures; 1 when a scan
could not be run.
"""

import bisect
import collections
import concurrent.futures
import json
import os
import pathlib
import shutil
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage.layouts import unescape_mbox  # noqa: E402

# Name -> (builder layout, builder options).
LAYOUTS = {
    "deleted": ("deleted", ()),
    "dbx": ("dbx", ()),
    "dbx-fragment": ("dbx", ("--fragment",)),
    "mbox": ("mbox", ()),
    "straddle": ("straddle", ()),
    "tail": ("tail", ()),
    "mixed": ("mixed", ()),
}
MODES = (("strict", ("--strict",)), ("default", ()))
TARGETS = (("recall of mails with From and Date", "recall_target", 0.97),
           ("precision", "precision", 0.995),
           ("complete .eml of found mails", "complete_rate", 0.97))
FALSE_KINDS = ("repeat", "embedded", "inside", "decoy", "outside")
STORE_MOVE = 16
SPOT_CHECKS = 3
MAX_LISTED = 8


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


# Figures.

def empty_figures():
    return {"mails": 0, "target_mails": 0, "found": 0, "found_target": 0, "records": 0,
            "right": 0, "false": {kind: 0 for kind in FALSE_KINDS}, "complete": 0, "exact": 0,
            "unsaved": 0, "extra_bytes": 0, "found_by": {}, "copies": 0, "copies_marked": 0,
            "firsts_marked": 0, "strict_promised": 0, "strict_kept": 0, "by_case": {},
            "by_place": {}, "parts": 0, "contained": 0}


def add_group(groups, key, mail, found):
    group = groups.setdefault(key, {"mails": 0, "target_mails": 0, "found": 0,
                                    "found_target": 0})
    group["mails"] += 1
    group["found"] += found
    if is_target(mail):
        group["target_mails"] += 1
        group["found_target"] += found


def evaluate(truth, image, records, saved, strict):
    """The figures of one scan: who found what, and how much of it came back."""
    locator = Locator(truth)
    figures = empty_figures()
    mails = truth["mails"]
    figures["mails"] = len(mails)
    figures["target_mails"] = sum(1 for mail in mails if is_target(mail))
    figures["records"] = len(records)
    claimed = {}  # mail index -> record
    contained = set()  # (mail index, number) of the contained messages found
    wrong = collections.defaultdict(list)
    for record in records:
        at = support.position(record)
        found_by = str(record.get("found_by"))
        figures["found_by"][found_by] = figures["found_by"].get(found_by, 0) + 1
        owners = locator.mails_starting_at(at)
        if owners:
            if owners[0] in claimed:
                figures["false"]["repeat"] += 1
                wrong["repeat"].append(at)
            else:
                claimed[owners[0]] = record
            continue
        kind = locator.wrong_kind(at)
        message = locator.contained_at(at)
        if message is not None and message not in contained:
            # Counted to be told, not as right: such a message is part of the mail file.
            contained.add(message)
            figures["contained"] += 1
        if record.get("part_of") is not None and kind in ("embedded", "inside"):
            # A mail the trace rule finds inside another, kept and marked as part of it.
            figures["parts"] += 1
            continue
        figures["false"][kind] += 1
        wrong[kind].append(at)
    figures["right"] = len(claimed)
    figures["wrong_examples"] = {kind: positions[:MAX_LISTED]
                                 for kind, positions in wrong.items()}

    if saved is not None:
        saved.fetch([int(record["index"]) for record in claimed.values()])
    missed = []
    for index, mail in enumerate(mails):
        record = claimed.get(index)
        found = record is not None
        add_group(figures["by_case"], mail.get("case", "plain"), mail, found)
        add_group(figures["by_place"], mail.get("place", truth["layout"]), mail, found)
        if mail.get("copy_of") is not None:
            figures["copies"] += 1
            figures["copies_marked"] += found and record.get("duplicate_of") is not None
        elif found and record.get("duplicate_of") is not None:
            figures["firsts_marked"] += 1
        if not found:
            if is_target(mail):
                missed.append(f"{mail['file']}@{mail['start']}")
            continue
        figures["found"] += 1
        figures["found_target"] += is_target(mail)
        text = saved.text(int(record["index"])) if saved is not None else None
        if text is None:
            figures["unsaved"] += 1
            continue
        for reference in reference_texts(image, truth, mail):
            if reference in text:
                figures["complete"] += 1
                figures["extra_bytes"] += len(text) - len(reference)
                figures["exact"] += text == reference
                break
    figures["missed_examples"] = missed[:MAX_LISTED]
    if strict:
        kept, promised = strict_promises(truth, records)
        figures["strict_promised"] = promised
        figures["strict_kept"] = kept
    return with_rates(figures)


def strict_promises(truth, records):
    """(kept, promised): strictly expected mails (in a store also those expected across block
    headers) reported exactly once at their trace line."""
    counts = collections.Counter(support.position(record) for record in records)
    kept = promised = 0
    for mail in truth["mails"]:
        if not (mail["strict_expected"] or mail.get("expected_across_blocks")):
            continue
        promised += 1
        kept += sum(counts[at] for at in support.expected_positions(truth, mail)) == 1
    return kept, promised


def ratio(part, whole):
    return part / whole if whole else None


def with_rates(figures):
    figures["recall"] = ratio(figures["found"], figures["mails"])
    figures["recall_target"] = ratio(figures["found_target"], figures["target_mails"])
    figures["precision"] = ratio(figures["right"], figures["records"] - figures["parts"])
    saved = figures["found"] - figures["unsaved"]
    figures["complete_rate"] = ratio(figures["complete"], figures["found"]) if saved else None
    figures["exact_rate"] = ratio(figures["exact"], figures["found"]) if saved else None
    figures["mean_extra"] = ratio(figures["extra_bytes"], figures["complete"])
    return figures


SUMMED = ("mails", "target_mails", "found", "found_target", "records", "right", "complete",
          "exact", "unsaved", "extra_bytes", "copies", "copies_marked", "firsts_marked",
          "strict_promised", "strict_kept", "parts", "contained")


def overall(per_layout):
    total = empty_figures()
    for figures in per_layout:
        for key in SUMMED:
            total[key] += figures[key]
        for kind in FALSE_KINDS:
            total["false"][kind] += figures["false"][kind]
        for key, count in figures["found_by"].items():
            total["found_by"][key] = total["found_by"].get(key, 0) + count
        for groups in ("by_case", "by_place"):
            for key, group in figures[groups].items():
                into = total[groups].setdefault(key, dict.fromkeys(group, 0))
                for field, count in group.items():
                    into[field] += count
    return with_rates(total)


# One layout.

class LayoutRun:
    def __init__(self, name, truth, image_path):
        self.name = name
        self.truth = truth
        self.image_path = image_path
        self.records = {}
        self.figures = {}
        self.problems = []
        self.errors = []  # what could not be run
        self.strict_missing_in_default = []
        self.seconds = 0.0


def measure_layout(binary, source_dir, work, inputs, name, seed=1, jobs=2, save=True):
    started = time.monotonic()
    layout, options = LAYOUTS[name]
    image_path, truth = support.build_image(source_dir, work, name, layout, inputs, seed=seed,
                                            extra=options)
    run = LayoutRun(name, truth, image_path)
    image = ImageFile(image_path)
    for mode, extra in MODES:
        records, error = support.run_scan(binary, image_path, extra)
        if error:
            run.errors.append(f"{mode}: {error}")
        run.records[mode] = records
        saved = None
        if save:
            saved = SavedTexts(binary, image_path, records, work / f"{name}-{mode}-out", extra,
                               jobs)
            run.problems += [f"{mode}: {problem}" for problem in saved.problems]
            shutil.rmtree(work / f"{name}-{mode}-out", ignore_errors=True)
        run.figures[mode] = evaluate(truth, image, records, saved, mode == "strict")
        run.figures[mode]["text_source"] = saved.method if saved is not None else None
    default_positions = {support.position(record) for record in run.records["default"]}
    run.strict_missing_in_default = sorted(support.position(record)
                                           for record in run.records["strict"]
                                           if support.position(record) not in default_positions)
    image.close()
    run.seconds = time.monotonic() - started
    return run


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


# Output.

def percent(value):
    return "-" if value is None else f"{value * 100:.1f}%"


HEADER = (f"{'layout':<13} {'mode':<8} {'mails':>5} {'F&D':>5} {'recall':>7} {'rec F&D':>7} "
          f"{'records':>7} {'precis.':>7} {'complete':>8} {'exact':>7} {'extra':>7}  false "
          f"(repeat/embedded/inside/decoy/outside)")


def table_row(name, mode, figures):
    extra = "-" if figures["mean_extra"] is None else f"{figures['mean_extra']:.0f}"
    false = "/".join(str(figures["false"][kind]) for kind in FALSE_KINDS)
    return (f"{name:<13} {mode:<8} {figures['mails']:>5} {figures['target_mails']:>5} "
            f"{percent(figures['recall']):>7} {percent(figures['recall_target']):>7} "
            f"{figures['records']:>7} {percent(figures['precision']):>7} "
            f"{percent(figures['complete_rate']):>8} {percent(figures['exact_rate']):>7} "
            f"{extra:>7}  {false}")


def print_groups(title, groups):
    parts = [f"{key} {group['found_target']}/{group['target_mails']}"
             for key, group in sorted(groups.items())]
    print(f"    {title}: " + ", ".join(parts))


def print_layout(run):
    for mode, _extra in MODES:
        print(table_row(run.name, mode, run.figures[mode]))
    for mode, _extra in MODES:
        figures = run.figures[mode]
        notes = [f"found by {figures['found_by']}; marked part of another mail "
                 f"{figures['parts']}; records at further messages a mail file holds behind "
                 f"a mailbox separator {figures['contained']}"]
        if mode == "strict":
            notes.append(f"strict promises kept {figures['strict_kept']}/"
                         f"{figures['strict_promised']}")
        if figures["copies"]:
            notes.append(f"later copies marked duplicate {figures['copies_marked']}/"
                         f"{figures['copies']}")
        if figures["firsts_marked"]:
            notes.append(f"other mails marked duplicate {figures['firsts_marked']}")
        notes.append(f".eml from {figures['text_source']}")
        print(f"    {mode}: " + "; ".join(notes))
        if figures["missed_examples"]:
            print(f"    {mode}: missed mails with From and Date, e.g. "
                  f"{', '.join(figures['missed_examples'])}")
        wrong = {kind: positions for kind, positions in figures["wrong_examples"].items()}
        if wrong:
            print(f"    {mode}: false records, e.g. {wrong}")
    if run.truth["layout"] == "mixed":
        for mode, _extra in MODES:
            print_groups(f"{mode} found F&D by case", run.figures[mode]["by_case"])
            print_groups(f"{mode} found F&D by place", run.figures[mode]["by_place"])
    if run.strict_missing_in_default:
        print(f"    {len(run.strict_missing_in_default)} strict records not reported at the "
              f"same position without --strict, e.g. {run.strict_missing_in_default[:MAX_LISTED]}")
    for problem in run.problems:
        print(f"    note: {problem[:400]}")
    for error in run.errors:
        print(f"    ERROR: {error[:400]}")


def target_results(figures):
    results = []
    for title, key, threshold in TARGETS:
        value = figures[key]
        results.append({"target": title, "key": key, "value": value, "threshold": threshold,
                        "passed": value is not None and value >= threshold})
    return results


def parse_arguments(argv=None):
    def add_options(parser):
        parser.add_argument("--layouts", default=",".join(LAYOUTS),
                            help=f"comma-separated layouts (default: all of {', '.join(LAYOUTS)})")
        parser.add_argument("--json", type=pathlib.Path, help="write the figures to this file")
        parser.add_argument("--seed", type=int, default=1, help="image seed (default 1)")
        parser.add_argument("--jobs", type=int, default=2,
                            help="parallel `quillon show` runs when they are needed")
        parser.add_argument("--mails", type=int, default=0,
                            help="use only this many corpus mails, spread over the corpus")
    options = support.parse_arguments(__doc__.splitlines()[0], argv, add_options)
    options.layout_names = [name.strip() for name in options.layouts.split(",") if name.strip()]
    unknown = [name for name in options.layout_names if name not in LAYOUTS]
    if unknown:
        raise SystemExit(f"unknown layouts {unknown}; known: {', '.join(LAYOUTS)}")
    return options


def spread_subset(files, count):
    """`count` files spread evenly over the list (all of them when count is 0 or larger)."""
    if count <= 0 or count >= len(files):
        return list(files)
    return [files[index * len(files) // count] for index in range(count)]


def main(argv=None):
    options = parse_arguments(argv)
    corpus = support.corpus_dir(options.source_dir)
    if corpus is None:
        support.skip(support.CORPUS_MISSING)
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")
    inputs = [corpus] if options.mails <= 0 else \
        spread_subset(support.mail_files(corpus), options.mails)

    runs = []
    with support.ScratchDir(options.build_dir, "recovery-measure", options.keep) as scratch:
        print(HEADER)
        for name in options.layout_names:
            run = measure_layout(binary, options.source_dir, scratch.path, inputs, name,
                                 options.seed, options.jobs)
            print_layout(run)
            if not options.keep:
                run.image_path.unlink()
            runs.append(run)
        scratch.finish(True)

    totals = {mode: overall([run.figures[mode] for run in runs]) for mode, _extra in MODES}
    print()
    for mode, _extra in MODES:
        print(table_row("overall", mode, totals[mode]))
    missing = sum(len(run.strict_missing_in_default) for run in runs)
    print(f"strict promises kept {totals['strict']['strict_kept']}/"
          f"{totals['strict']['strict_promised']}; {missing} strict records missing without "
          f"--strict")
    targets = target_results(totals["default"])
    print("\ntargets (without --strict, all layouts):")
    for target in targets:
        print(f"  {'PASS' if target['passed'] else 'FAIL'}  {target['target']}: "
              f"{percent(target['value'])} (at least {target['threshold'] * 100:g}%)")
    if options.json:
        document = {
            "binary": str(binary), "corpus": str(corpus), "seed": options.seed,
            "mails_used": options.mails or None,
            "layouts": {run.name: {"image_size": run.truth["image_size"],
                                   "mail_count": run.truth["mail_count"],
                                   "seconds": round(run.seconds, 1),
                                   "modes": {mode: run.figures[mode]
                                             for mode, _extra in MODES},
                                   "strict_missing_in_default": run.strict_missing_in_default,
                                   "problems": run.problems, "errors": run.errors}
                        for run in runs},
            "overall": totals,
            "targets": targets,
        }
        options.json.write_text(json.dumps(document, indent=1) + "\n", encoding="utf-8")
        print(f"figures written to {options.json}")
    if any(run.errors for run in runs):
        print("some runs of quillon failed: the figures are incomplete")
        return support.FAIL
    return support.PASS


if __name__ == "__main__":
    sys.exit(main())

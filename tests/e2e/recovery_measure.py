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

import collections
import json
import pathlib
import shutil
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402
from measure_support import (ImageFile, Locator, SavedTexts, is_target,  # noqa: E402
                             percent, ratio, reference_texts, spread_subset)

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
MAX_LISTED = 8


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


# Output.


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

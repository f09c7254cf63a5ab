#!/usr/bin/env python3
"""Counts how many mails of a deleted, scattered store come back, per cluster layout.

Builds scattered-store images (tools/quillon-mkimage --layout scattered-store --case sent) from
several picks of STORE_MAILS mails of the corpus's tuning half (tests/e2e/unseen_measure.py),
each pick with a seed of its own, in each layout of LAYOUTS (cluster sizes, the mixes, old data
in the store's last cluster, a store that does not begin at a 4 KiB boundary of the image),
scans them in the default mode with each --binary given, saves, and prints per layout and
binary: mails found / saved whole / saved byte-exact, summed over the picks. With --json FILE
the figures go into that file too.

    store_scatter_table.py [--picks N] [--first-pick N] [--layouts a,b] [--binary QUILLON ...]
"""

import json
import pathlib
import random
import shutil
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402
import unseen_figures as figures_of  # noqa: E402
import unseen_measure as measure  # noqa: E402
from measure_support import ImageFile, SavedTexts  # noqa: E402

# name -> builder options beyond --layout scattered-store --case sent
LAYOUTS = {
    "4k": ("--mix", "tuning"),
    "4k-held-mix": ("--mix", "held-out"),
    "4k-tail-old": ("--mix", "held-out", "--store-tail", "old"),
    "4k-shift-63": ("--mix", "held-out", "--shift", str(63 * 512)),
    "512": ("--mix", "held-out", "--store-cluster", "512"),
    "1k": ("--mix", "held-out", "--store-cluster", "1024"),
    "2k": ("--mix", "held-out", "--store-cluster", "2048"),
    "8k": ("--mix", "held-out", "--store-cluster", "8192"),
    "8k-tail-old": ("--mix", "held-out", "--store-cluster", "8192", "--store-tail", "old"),
    "64k": ("--mix", "held-out", "--store-cluster", "65536"),
}


def picks(files, count, number):
    """`count` usable mails of the tuning half, drawn by the pick's number."""
    usable = measure.store_inputs(files, "tuning", len(files))
    return sorted(random.Random(f"scatter-pick-{number}").sample(usable, min(count, len(usable))))


def judge(binary, image, truth, work, examples=False):
    records, error = support.run_scan(binary, image, ())
    if error:
        raise RuntimeError(error)
    out = work / "out"
    saved = SavedTexts(binary, image, records, out, (), 2)
    shutil.rmtree(out, ignore_errors=True)
    reader = ImageFile(image)
    try:
        figures = figures_of.Evaluation(truth, reader, records, saved).figures
    finally:
        reader.close()
    if examples:
        for kind, texts in figures["examples"].items():
            for text in texts:
                print(f"  {image.name} {kind}: {text}")
    return {key: figures[key] for key in ("target_mails", "found", "whole", "exact")}


def main(argv=None):
    def add_options(parser):
        parser.add_argument("--binary", type=pathlib.Path, action="append",
                            help="a quillon to judge (repeatable; default BUILD/bin/quillon)")
        parser.add_argument("--picks", type=int, default=4, help="picks of mails (default 4)")
        parser.add_argument("--first-pick", type=int, default=0,
                            help="number of the first pick; each pick draws its own mails and "
                                 "seed (default 0)")
        parser.add_argument("--layouts", default=",".join(LAYOUTS))
        parser.add_argument("--json", type=pathlib.Path)
        parser.add_argument("--examples", action="store_true",
                            help="print the mails each image lost or saved wrongly")

    options = support.parse_arguments(__doc__.splitlines()[0], argv, add_options)
    corpus = support.corpus_dir(options.source_dir)
    if corpus is None:
        support.skip("the corpus folder is absent")
    binaries = options.binary or [options.build_dir / "bin" / "quillon"]
    files = measure.split_corpus(support.mail_files(corpus))["tuning"]
    work = options.build_dir / "test-tmp" / "store-scatter-table"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    table = {}
    for layout in [name.strip() for name in options.layouts.split(",") if name.strip()]:
        for number in range(options.first_pick, options.first_pick + options.picks):
            image, truth = support.build_image(
                options.source_dir, work, f"{layout}-{number}", "scattered-store",
                picks(files, measure.STORE_MAILS, number), seed=5100 + number,
                extra=["--case", "sent", *LAYOUTS[layout]])
            for binary in binaries:
                row = table.setdefault(f"{layout} {binary}", {"layout": layout,
                                                              "binary": str(binary)})
                figures = judge(binary, image, truth, work, options.examples)
                for key, value in figures.items():
                    row[key] = row.get(key, 0) + value
                if figures["exact"] < figures["target_mails"]:
                    row.setdefault("short_picks", []).append(number)
            if not options.keep:
                image.unlink()
        for binary in binaries:
            row = table[f"{layout} {binary}"]
            print(f"{layout:12} found {row['found']:4}/{row['target_mails']:<4} whole "
                  f"{row['whole']:4} exact {row['exact']:4}  picks short "
                  f"{row.get('short_picks', [])}  {binary}", flush=True)
    if options.json:
        options.json.write_text(json.dumps(list(table.values()), indent=1) + "\n")
    if not options.keep:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""Command line of quillon-mkimage."""

import argparse
import json
import os
import pathlib
import random
import subprocess
import sys

from . import (bench_kinds, copies, disk, end_cases, header_shapes, layouts, mixed, mixed_check,
               mutations, scattered, synthetic, truth, unseen_check)
from .mixes import MIXES
from .noise import NoiseMaker
from .writer import ImageWriter

TOOLS_DIR = pathlib.Path(__file__).resolve().parent.parent
SOURCE_DIR = TOOLS_DIR.parent
LAYOUTS = {**layouts.LAYOUTS, "mixed": mixed.layout_mixed, **disk.LAYOUTS,
           "copies": copies.layout_copies, "scattered-store": scattered.layout_scattered_store,
           **bench_kinds.LAYOUTS}
# Variants --case makes of every input mail before it is laid out.
CASES = ("sent", "no-trace", "lf", "long-header", "no-to", "first-return-path",
         "first-delivered-to", "first-x-uidl", "first-message-id", *header_shapes.SHAPES,
         *end_cases.END_CASES,
         *mutations.MUTATIONS)
# Layouts whose mails take no --case: they make their own variants.
NO_CASE_LAYOUTS = ("mixed", "bench", *bench_kinds.LAYOUTS)


def case_name(text):
    """A case, or a shape case and another joined by "+" (a shape applied first)."""
    if all(part in CASES for part in text.split("+")):
        return text
    raise argparse.ArgumentTypeError(f"unknown case {text!r} (one of {', '.join(CASES)}, "
                                     "or two joined by '+')")


def read_inputs(paths):
    """(name, bytes) of every .eml file given, folders expanded in name order."""
    mails = []
    for path in map(pathlib.Path, paths):
        if path.is_dir():
            files = sorted(child for child in path.iterdir()
                           if child.is_file() and child.suffix.lower() == ".eml")
        else:
            files = [path]
        for file in files:
            mails.append((file.name, file.read_bytes()))
    return mails


def shift_noise(seed, size):
    """The bytes put in front for a shift: their own generator, so the layout behind them is
    byte for byte the one built without a shift."""
    if size <= 0:
        return b""
    return NoiseMaker(random.Random(f"shift-{seed}-{size}")).random_bytes(size)


def build(options):
    """Builds the image and its truth; returns the truth."""
    mails = read_inputs(options.inputs)
    if options.synthetic:
        mails = synthetic.synthetic_mails(options.seed, options.synthetic) + mails
    if not mails:
        raise SystemExit("quillon-mkimage: no .eml input found")
    mails, case_fields = disk.apply_case(mails, options.case, options.seed, options.mix)
    rng = random.Random(options.seed)
    noise = NoiseMaker(rng)
    writer = ImageWriter(options.out, shift_noise(options.seed, options.shift))
    try:
        result = LAYOUTS[options.layout](writer, mails, rng, noise, options)
    finally:
        image_size = writer.close()
    fields_of = {name: fields for (name, _text), fields in zip(mails, case_fields)}
    for placement in result.placements:
        placement.extra.update(fields_of.get(placement.file, {}))
    ground_truth = truth.build_truth(options.out, image_size, options.layout, result, options)
    with open(options.truth, "w", encoding="utf-8") as file:
        json.dump(ground_truth, file, indent=1)
        file.write("\n")
    return ground_truth


def corpus_dir():
    """The real-message folder beside the project, or $QUILLON_CORPUS_DIR; None when absent."""
    configured = os.environ.get("QUILLON_CORPUS_DIR")
    folder = pathlib.Path(configured) if configured else \
        SOURCE_DIR.parent / "shared" / "corpus" / "messages"
    return folder if folder.is_dir() else None


def self_test():
    script = SOURCE_DIR / "tests" / "e2e" / "mkimage_test.py"
    status = subprocess.call([sys.executable, str(script), "--source-dir", str(SOURCE_DIR)])
    mixed_status = mixed_check.run_self_test(SOURCE_DIR, corpus_dir())
    unseen_status = unseen_check.run_self_test(SOURCE_DIR, corpus_dir())
    return status or mixed_status or unseen_status


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="quillon-mkimage",
        description="Builds a test disk image with mails laid out in a chosen way, and a JSON "
                    "file that says where each mail lies and where a scan must find it.")
    parser.add_argument("--layout", choices=sorted(LAYOUTS))
    parser.add_argument("--out", help="image file to write")
    parser.add_argument("--truth", help="ground-truth JSON file to write")
    parser.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    parser.add_argument("--shift", type=int, default=0,
                        help="bytes of noise in front, moving every position by that much")
    parser.add_argument("--size", type=int, default=0,
                        help="bench layouts: image size (default 1 GiB, bench-attachments "
                             "2 GiB); others: minimum size")
    parser.add_argument("--mails", type=int,
                        help="bench: number of mails to place (default 1500); "
                             "bench-attachments: default 1500 per GiB")
    parser.add_argument("--fragment", action="store_true",
                        help="dbx: shuffle the block order inside the store")
    parser.add_argument("--store-cluster", type=int, default=4096,
                        help="scattered-store: the cluster size the store lies scattered in, "
                             "512..65536, a power of two (default 4096)")
    parser.add_argument("--store-tail", choices=("zeros", "old"), default="zeros",
                        help="scattered-store: what fills the last cluster behind the store's "
                             "end (default zeros)")
    parser.add_argument("--mix", choices=sorted(MIXES), default="tuning",
                        help="glued, glued-chunk, sector, slack, disk, copies, scattered-store: "
                             "how places and the bytes around mails are drawn (default tuning)")
    parser.add_argument("--case", type=case_name,
                        help="make every input mail this variant first (not with "
                             f"{', '.join(NO_CASE_LAYOUTS)})")
    parser.add_argument("--synthetic", type=int, default=0, metavar="N",
                        help="lay out N mails of no corpus first (mkimage/synthetic.py), drawn "
                             "by the seed; INPUT may then be left out")
    parser.add_argument("--self-test", action="store_true",
                        help="build every layout from the demo mails and check the truth")
    parser.add_argument("inputs", nargs="*", metavar="INPUT",
                        help=".eml files or folders of them")
    options = parser.parse_args(argv)
    if options.self_test:
        return options
    for name in ("layout", "out", "truth"):
        if getattr(options, name) is None:
            parser.error(f"--{name} is required")
    if not options.inputs and not options.synthetic:
        parser.error("at least one INPUT is required")
    if options.case and options.layout in NO_CASE_LAYOUTS:
        parser.error(f"--case does not go with --layout {options.layout}")
    if options.store_cluster not in [512 << n for n in range(8)]:
        parser.error("--store-cluster must be a power of two from 512 to 65536")
    if options.synthetic < 0:
        parser.error("--synthetic must not be negative")
    if options.shift < 0 or options.size < 0 or (options.mails is not None
                                                 and options.mails < 1):
        parser.error("--shift and --size must not be negative, --mails must be positive")
    return options


def main(argv=None):
    options = parse_arguments(sys.argv[1:] if argv is None else argv)
    if options.self_test:
        return self_test()
    ground_truth = build(options)
    print(f"{options.out}: {ground_truth['image_size']} bytes, {ground_truth['mail_count']} "
          f"mails, {ground_truth['strict_expected_count']} strictly expected")
    return 0

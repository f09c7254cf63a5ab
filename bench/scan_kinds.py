#!/usr/bin/env python3
"""Scan speed and memory per kind of content: `quillon scan --json --strict` and `quillon scan
--json` over one image of each kind (bench/bench_images.py), next to `cat` and `grep -c -a
'Received: '` over the same bytes in the same run.

    bench/scan_kinds.py [--build-dir B] [--kinds dense,attachments,...] [--repeat N]
                        [--size SIZE] [--image-dir DIR] [--json-out FILE]
                        [--baseline-binary OLD] [SCAN OPTIONS...]

Per kind the image is read once into the page cache, then N rounds run every command once in
turn (each round starting with the next command); the best time of each counts. Printed as
Markdown tables: seconds and the ratios to grep; peak RSS, mails found and RSS per found mail
against the budget of 64 MiB + 1 KiB per found mail. Extra arguments go to both scans. When the
binary takes `--threads N`, both scans are also timed with --threads 1 and 2 (their
outputs must be the same). Sanity checks: every mail the truth strictly expects is found at its
trace line in both modes, images without mail give no mail. With --baseline-binary an earlier
build's two scans (--threads 1 where both take it) run in the same rounds as this build's, a
table puts them side by side, and their outputs must be the same. The exit status is 1 when a
check fails.
"""

import argparse
import datetime
import json
import pathlib
import shutil
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import bench_images  # noqa: E402
import bench_runs  # noqa: E402

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[1]
MIB = 1 << 20
GIB = 1 << 30
BUDGET_FLOOR_MIB = 64
BUDGET_PER_MAIL_KIB = 1
SECTOR_SIZE = 512


def parse_arguments(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=pathlib.Path, default=SOURCE_DIR / "build")
    parser.add_argument("--image-dir", type=pathlib.Path,
                        help="where images are kept (default: the build dir)")
    parser.add_argument("--kinds", default=",".join(bench_images.KINDS),
                        help="comma-separated kinds (default: all)")
    parser.add_argument("--size", type=bench_images.parse_size,
                        help="size of every image (default 1g, attachments 2g)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--repeat", type=int, default=3, help="rounds (best counts; default 3)")
    parser.add_argument("--no-threads", action="store_true",
                        help="skip the --threads 1 / 2 comparison even where it is possible")
    parser.add_argument("--json-out", type=pathlib.Path, help="also write the figures here")
    parser.add_argument("--baseline-binary", type=pathlib.Path,
                        help="an earlier quillon, timed in the same rounds (before / after)")
    options, passthrough = parser.parse_known_args(argv)
    options.scan_arguments = passthrough
    options.kinds = [kind for kind in options.kinds.split(",") if kind]
    unknown = [kind for kind in options.kinds if kind not in bench_images.KINDS]
    if unknown:
        parser.error(f"unknown kind(s) {', '.join(unknown)}; known: "
                     f"{', '.join(bench_images.KINDS)}")
    options.image_dir = options.image_dir or options.build_dir
    return options


def found_positions(output_path):
    """How many mails a `quillon scan --json` output lists and the set of their positions, or
    None for the set when a line does not say where (then the position check is skipped)."""
    positions = set()
    count = 0
    readable = True
    with open(output_path, encoding="utf-8", errors="replace") as file:
        for line in file:
            if not line.strip():
                continue
            count += 1
            try:
                record = json.loads(line)
                positions.add(record["sector"] * SECTOR_SIZE + record["offset"])
            except (ValueError, KeyError, TypeError):
                readable = False
    return count, positions if readable else None


def sanity_problems(kind, truth, outputs):
    """What does not hold of the scans' results; empty when all is well."""
    problems = []
    if kind not in bench_images.MAIL_KINDS:
        for mode, (count, _positions) in outputs.items():
            if count:
                problems.append(f"{kind}: {mode} scan found {count} mails in an image without")
        return problems
    if truth is None:
        return [f"{kind}: no truth file beside the image"]
    expected = [mail["trace_offset"] for mail in truth["mails"] if mail["strict_expected"]]
    for mode, (count, positions) in outputs.items():
        if positions is None:
            if count < len(expected):
                problems.append(f"{kind}: {mode} scan found {count} mails, fewer than the "
                                f"{len(expected)} strictly expected")
            continue
        missed = [offset for offset in expected if offset not in positions]
        if missed:
            problems.append(f"{kind}: {mode} scan missed {len(missed)} of {len(expected)} "
                            f"strictly expected mails (first at byte {missed[0]})")
    return problems


def baseline_commands(options, quillon, image, scratch, kind, threads):
    """The earlier build's scans beside this build's, each mode in one thread where the builds
    take --threads (so that both do the same work): label -> (command, output, accepted)."""
    one = ["--threads", "1"] if threads else []
    commands = {}
    for mode, extra in (("strict", ["--strict"]), ("default", [])):
        for label, binary in ((f"{mode}_before", options.baseline_binary),
                              (f"{mode}_after", quillon)):
            commands[label] = ([binary, "scan", image, "--json", *options.scan_arguments, *extra,
                                *one], scratch / f"{kind}-{label}.jsonl", (0,))
    return commands


def measure_kind(options, quillon, kind, threads, scratch):
    image, built_seconds = bench_images.ensure_image(options.image_dir, kind, options.size,
                                                     options.seed)
    size = image.stat().st_size
    truth = bench_images.read_truth(image)
    scan = [quillon, "scan", image, "--json", *options.scan_arguments]
    out = {mode: scratch / f"{kind}-{mode}.jsonl"
           for mode in ("grep", "strict", "default", "t1", "t2", "t1s", "t2s")}
    commands = {
        "cat": (["cat", image], None, (0,)),
        # Not to /dev/null: GNU grep stops at the first match when its output goes nowhere.
        "grep": (["grep", "-c", "-a", "Received: ", image], out["grep"], (0, 1)),
        "strict": ([*scan, "--strict"], out["strict"], (0,)),
        "default": (scan, out["default"], (0,)),
    }
    if threads:
        commands["t1"] = ([*scan, "--threads", "1"], out["t1"], (0,))
        commands["t2"] = ([*scan, "--threads", "2"], out["t2"], (0,))
        commands["t1s"] = ([*scan, "--strict", "--threads", "1"], out["t1s"], (0,))
        commands["t2s"] = ([*scan, "--strict", "--threads", "2"], out["t2s"], (0,))
    if options.baseline_binary:
        both_threads = (not any(a.startswith("--threads") for a in options.scan_arguments)
                        and bench_runs.accepts_option(quillon, "--threads", "1")
                        and bench_runs.accepts_option(options.baseline_binary, "--threads", "1"))
        commands.update(baseline_commands(options, quillon, image, scratch, kind, both_threads))
    bench_runs.run_measured(["cat", image])  # into the page cache
    best = bench_runs.best_of_rounds(commands, options.repeat)
    outputs = {mode: found_positions(out[mode]) for mode in ("strict", "default")}
    problems = sanity_problems(kind, truth, outputs)
    if options.baseline_binary:
        for mode in ("strict", "default"):
            before, after = commands[f"{mode}_before"][1], commands[f"{mode}_after"][1]
            if before.read_bytes() != after.read_bytes():
                problems.append(f"{kind}: the baseline and this build print different mails "
                                f"({mode})")
    if threads and out["t1"].read_bytes() != out["t2"].read_bytes():
        problems.append(f"{kind}: --threads 1 and --threads 2 print different mails")
    if threads and out["t1s"].read_bytes() != out["t2s"].read_bytes():
        problems.append(f"{kind}: --threads 1 and --threads 2 print different mails with --strict")
    return {
        "kind": kind, "image": str(image), "bytes": size, "built_seconds": built_seconds,
        "truth_mails": truth["mail_count"] if truth else None,
        "truth_strict": truth["strict_expected_count"] if truth else None,
        "found": {mode: outputs[mode][0] for mode in outputs},
        "times": {label: best[label].seconds for label in best},
        "cpu": {label: best[label].cpu_seconds for label in best},
        "peak_rss_mib": {label: best[label].peak_rss_kib / 1024 for label in best
                         if label not in ("cat", "grep")},
        "problems": problems,
    }


def print_tables(results, floor_mib):
    print("\n| content | size | cat s | grep s | --strict s | default s | --strict / grep "
          "| default / grep | by CPU time: --strict / grep | default / grep | default GiB/s "
          "| default / cat |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for result in results:
        times, cpu = result["times"], result["cpu"]
        grep_cpu = max(cpu["grep"], 1e-3)
        print(f"| {result['kind']} | {result['bytes'] / GIB:.2f} GiB | {times['cat']:.3f} "
              f"| {times['grep']:.3f} | {times['strict']:.3f} | {times['default']:.3f} "
              f"| {times['strict'] / times['grep']:.2f} x "
              f"| {times['default'] / times['grep']:.2f} x "
              f"| {cpu['strict'] / grep_cpu:.2f} x | {cpu['default'] / grep_cpu:.2f} x "
              f"| {result['bytes'] / GIB / times['default']:.2f} "
              f"| {times['default'] / times['cat']:.2f} x |")
    print("\n| content | mails found (--strict / default) | truth (placed / strictly expected) "
          "| peak RSS --strict | peak RSS default | RSS per found mail | above the no-mail "
          "floor | budget 64 MiB + 1 KiB/mail |")
    print("|---|---|---|---|---|---|---|---|")
    for result in results:
        found = result["found"]["default"]
        rss = result["peak_rss_mib"]
        budget = BUDGET_FLOOR_MIB + found * BUDGET_PER_MAIL_KIB / 1024
        per_mail = f"{rss['default'] * 1024 / found:.2f} KiB" if found else "-"
        above = (f"{(rss['default'] - floor_mib) * 1024 / found:.2f} KiB"
                 if found and floor_mib is not None else "-")
        truth = (f"{result['truth_mails']} / {result['truth_strict']}"
                 if result["truth_mails"] is not None else "-")
        verdict = "within" if rss["default"] <= budget else "OVER"
        print(f"| {result['kind']} | {result['found']['strict']} / {found} | {truth} "
              f"| {rss['strict']:.1f} MiB | {rss['default']:.1f} MiB | {per_mail} | {above} "
              f"| {budget:.1f} MiB: {verdict} |")
    threaded = [result for result in results if "t1" in result["times"]]
    if threaded:
        print("\n| content | mode | --threads 1 s | --threads 2 s | throughput 2 / 1 "
              "| CPU s 1 / 2 |")
        print("|---|---|---|---|---|---|")
        for result in threaded:
            for mode, one_label, two_label in (("default", "t1", "t2"),
                                               ("--strict", "t1s", "t2s")):
                one, two = result["times"][one_label], result["times"][two_label]
                cpu = result["cpu"]
                print(f"| {result['kind']} | {mode} | {one:.3f} | {two:.3f} | {one / two:.2f} x "
                      f"| {cpu[one_label]:.2f} / {cpu[two_label]:.2f} |")
    compared = [result for result in results if "default_before" in result["times"]]
    if compared:
        print("\n| content | mode | before s | after s | after / before | before CPU s "
              "| after CPU s | after / before by CPU | before / grep by CPU "
              "| after / grep by CPU |")
        print("|---|---|---|---|---|---|---|---|---|---|")
        for result in compared:
            times, cpu = result["times"], result["cpu"]
            grep_cpu = max(cpu["grep"], 1e-3)
            for mode in ("strict", "default"):
                before, after = f"{mode}_before", f"{mode}_after"
                print(f"| {result['kind']} | {mode} | {times[before]:.3f} | {times[after]:.3f} "
                      f"| {times[after] / times[before]:.2f} | {cpu[before]:.2f} "
                      f"| {cpu[after]:.2f} | {cpu[after] / max(cpu[before], 1e-3):.2f} "
                      f"| {cpu[before] / grep_cpu:.2f} x | {cpu[after] / grep_cpu:.2f} x |")


def main(argv=None):
    options = parse_arguments(argv)
    quillon = options.build_dir / "bin" / "quillon"
    if not quillon.exists():
        sys.exit(f"{quillon} not found: build the quillon target (or give --build-dir)")
    for tool in ("cat", "grep"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} not found")
    threads = False
    if options.no_threads or any(a.startswith("--threads") for a in options.scan_arguments):
        print("thread comparison: skipped (asked so, or --threads given to the scans)")
    elif bench_runs.accepts_option(quillon, "--threads", "1"):
        threads = True
    else:
        print("thread comparison: skipped, this quillon does not take --threads")
    started = datetime.datetime.now().isoformat(timespec="seconds")
    load_before = bench_runs.machine_load()
    results = []
    with bench_runs.scratch_folder() as scratch:
        for kind in options.kinds:
            results.append(measure_kind(options, quillon, kind, threads, pathlib.Path(scratch)))
    floors = [result["peak_rss_mib"]["default"] for result in results
              if result["kind"] not in bench_images.MAIL_KINDS]
    floor_mib = min(floors) if floors else None
    print(f"\n{started}, best of {options.repeat}, page cache warm; {load_before} before, "
          f"{bench_runs.machine_load()} after; scan arguments: "
          f"{' '.join(options.scan_arguments) or '(none)'}")
    print_tables(results, floor_mib)
    for result in results:
        if result["built_seconds"] is not None:
            print(f"built {result['image']} in {result['built_seconds']:.0f} s")
    problems = [problem for result in results for problem in result["problems"]]
    for problem in problems:
        print(f"SANITY: {problem}")
    if options.json_out:
        options.json_out.write_text(json.dumps({"started": started, "load": load_before,
                                                "repeat": options.repeat, "results": results},
                                               indent=1) + "\n")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

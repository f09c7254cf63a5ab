#!/usr/bin/env python3
"""End-to-end scan benchmark: how fast `quillon scan` walks a 1 GiB image, next to `cat` and
`grep -c` over the same bytes from the page cache.

    bench/scan_e2e.py [--build-dir B] [--image IMAGE] [--repeat N] [QUILLON SCAN OPTIONS...]

The image is built once with tools/quillon-mkimage (layout bench: mostly binary, zero runs and
plain text, with about 1,500 mails from the corpus, or from tools/demo-mails without it) and kept
as B/bench-1g.img. Extra arguments such as --strict go to `quillon scan`; without --strict the
scan with --strict is timed as well (the two runs alternate), and the ratio of the two printed.
"""

import argparse
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import bench_runs  # noqa: E402

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[1]
GIB = 1 << 30


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=pathlib.Path, default=SOURCE_DIR / "build")
    parser.add_argument("--image", type=pathlib.Path,
                        help="scan this image instead of the cached bench image")
    parser.add_argument("--size", type=int, default=GIB, help="size of a newly built image")
    parser.add_argument("--mails", type=int, default=1500, help="mails in a newly built image")
    parser.add_argument("--repeat", type=int, default=3, help="runs per command (best counts)")
    options, passthrough = parser.parse_known_args()
    options.scan_arguments = passthrough
    return options


def corpus_or_demo():
    configured = os.environ.get("QUILLON_CORPUS_DIR")
    corpus = pathlib.Path(configured) if configured else \
        SOURCE_DIR.parent / "shared" / "corpus" / "messages"
    return corpus if corpus.is_dir() else SOURCE_DIR / "tools" / "demo-mails"


def truth_path_for(image):
    return image.with_name(image.name.removesuffix(".img") + ".truth.json")


def ensure_image(options):
    if options.image:
        return options.image
    name = "bench-1g" if options.size == GIB else f"bench-{options.size}"
    image = options.build_dir / f"{name}.img"
    if image.exists():
        return image
    inputs = corpus_or_demo()
    print(f"building {image} ({options.size / GIB:.2f} GiB, about {options.mails} mails "
          f"from {inputs}) ...", flush=True)
    started = time.perf_counter()
    options.build_dir.mkdir(parents=True, exist_ok=True)
    partial = image.with_name(image.name + ".partial")
    subprocess.run([sys.executable, str(SOURCE_DIR / "tools" / "quillon-mkimage"),
                    "--layout", "bench", "--size", str(options.size), "--mails",
                    str(options.mails), "--out", str(partial), "--truth",
                    str(truth_path_for(image)), str(inputs)], check=True)
    partial.rename(image)  # only a complete image is ever reused
    print(f"built in {time.perf_counter() - started:.1f} s")
    return image


def best_time(command, repeat, stdout=subprocess.DEVNULL):
    """Best wall time of `repeat` runs, and the output of the last run when captured."""
    best = None
    output = None
    for _ in range(repeat):
        started = time.perf_counter()
        completed = subprocess.run(command, stdout=stdout, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - started
        if completed.returncode not in (0, 1):  # grep -c exits 1 when it counts nothing
            sys.exit(f"{' '.join(map(str, command))} failed ({completed.returncode}): "
                     f"{completed.stderr.decode(errors='replace')[-500:]}")
        output = completed.stdout
        best = elapsed if best is None else min(best, elapsed)
    return best, output


def best_times_interleaved(commands, repeat):
    """Best wall time of each command over `repeat` rounds that run each once in turn, so that
    a noisy moment on the machine weighs on all of them alike."""
    best = [None] * len(commands)
    for _ in range(repeat):
        for index, command in enumerate(commands):
            seconds, _ = best_time(command, 1)
            best[index] = seconds if best[index] is None else min(best[index], seconds)
    return best


def peak_rss(command):
    """Output lines and peak RSS (MiB) of one run, as GNU time sees it (see bench_runs)."""
    with tempfile.NamedTemporaryFile(suffix=".out") as output:
        run = bench_runs.run_measured(command, output.name)
        with open(output.name, "rb") as file:
            lines = sum(1 for line in file if line.strip())
    return lines, run.peak_rss_kib / 1024


def main():
    options = parse_arguments()
    quillon = options.build_dir / "bin" / "quillon"
    if not quillon.exists():
        sys.exit(f"{quillon} not found: build the quillon target (or give --build-dir)")
    for tool in ("cat", "grep"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} not found")
    image = ensure_image(options)
    size = image.stat().st_size
    scan = [quillon, "scan", image, "--json", *options.scan_arguments]

    # The first read brings the image into the page cache; every timed run reads from there.
    subprocess.run(["cat", image], stdout=subprocess.DEVNULL, check=True)
    cat_seconds, _ = best_time(["cat", image], options.repeat)
    grep_seconds, grep_output = best_time(["grep", "-c", "-a", "Received: ", image],
                                          options.repeat, stdout=subprocess.PIPE)
    # Without --strict, the trace rule alone is timed too: the other rules' cost is their share.
    strict_scan = None if "--strict" in options.scan_arguments else [*scan, "--strict"]
    if strict_scan:
        strict_seconds, scan_seconds = best_times_interleaved([strict_scan, scan], options.repeat)
    else:
        strict_seconds, scan_seconds = None, best_time(scan, options.repeat)[0]
    found, rss_mib = peak_rss(scan)

    print(f"\nimage {image} ({size / GIB:.2f} GiB), best of {options.repeat}")
    print(f"{'command':<28}{'seconds':>9}{'GiB/s':>8}{'x cat':>8}{'x grep':>8}")
    rows = [("cat", cat_seconds), ("grep -c -a 'Received: '", grep_seconds)]
    if strict_seconds is not None:
        rows.append(("quillon scan --json --strict", strict_seconds))
    rows.append(("quillon scan --json " + " ".join(options.scan_arguments), scan_seconds))
    for label, seconds in rows:
        print(f"{label.strip():<28}{seconds:>9.3f}{size / GIB / seconds:>8.2f}"
              f"{seconds / cat_seconds:>8.2f}{seconds / grep_seconds:>8.2f}")
    if strict_seconds is not None:
        print(f"without --strict: {scan_seconds / strict_seconds:.2f} x the time with --strict")
    print(f"quillon peak RSS {rss_mib:.1f} MiB; mails found {found}; "
          f"lines with 'Received: ' (grep) {int(grep_output or 0)}")

    truth_path = truth_path_for(image)
    if truth_path.exists():
        with open(truth_path, encoding="utf-8") as file:
            truth = json.load(file)
        strict = truth["strict_expected_count"]
        print(f"truth: {truth['mail_count']} mails placed, {strict} strictly expected")
        if found < strict:
            print(f"WARNING: fewer mails found than strictly expected ({found} < {strict})")
    return 0


if __name__ == "__main__":
    sys.exit(main())

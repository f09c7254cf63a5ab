#!/usr/bin/env python3
"""Forensic-image benchmark: how fast `quillon scan` reads an E01 next to the raw image it was
made from, and what `--hash` costs next to `sha256sum` and `md5sum` of the same bytes.

    bench/forensic_e2e.py [--build-dir B] [--image IMAGE] [--repeat N] [--compression C]

The raw image is the 1 GiB bench image of bench/scan_e2e.py (built once as B/bench-1g.img);
the E01 is made from it once with ewfacquire (compression `fast` by default, 640 MiB
segments) and kept beside it. Both are read once to warm the page cache; each command then runs
--repeat times, the commands taking turns so that a noisy moment weighs on all of them, and
the best time counts. Sanity checks: the E01 scan lists the raw scan's records, and the digests
--hash prints are the ones sha256sum and md5sum print.
"""

import argparse
import pathlib
import shutil
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import scan_e2e  # noqa: E402  (the bench image)

GIB = 1 << 30


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=pathlib.Path, default=scan_e2e.SOURCE_DIR / "build")
    parser.add_argument("--image", type=pathlib.Path, help="a raw image instead of the bench image")
    parser.add_argument("--size", type=int, default=GIB, help="size of a newly built image")
    parser.add_argument("--mails", type=int, default=1500, help="mails in a newly built image")
    parser.add_argument("--repeat", type=int, default=3, help="runs per command (best counts)")
    parser.add_argument("--compression", default="fast", choices=("none", "empty-block", "fast",
                                                                  "best"),
                        help="ewfacquire's compression level for the E01")
    return parser.parse_args()


def ensure_ewf(raw, compression):
    folder = raw.with_name(f"{raw.stem}-ewf-{compression}")
    first = folder / "image.E01"
    if first.exists():
        return first
    print(f"making {first} with ewfacquire (-c {compression}) ...", flush=True)
    started = time.perf_counter()
    partial = folder.with_name(folder.name + ".partial")
    shutil.rmtree(partial, ignore_errors=True)
    partial.mkdir(parents=True)
    subprocess.run(["ewfacquire", "-u", "-q", "-c", compression, "-S", "640MiB", "-t",
                    str(partial / "image"), str(raw)], check=True, stdout=subprocess.DEVNULL)
    partial.rename(folder)  # only a complete set is ever reused
    print(f"made in {time.perf_counter() - started:.1f} s")
    return first


def warm(paths):
    for path in paths:
        with open(path, "rb") as file:
            while file.read(8 << 20):
                pass


def timed(command):
    started = time.perf_counter()
    completed = subprocess.run(command, capture_output=True)
    elapsed = time.perf_counter() - started
    if completed.returncode != 0:
        sys.exit(f"{' '.join(map(str, command))} failed: {completed.stderr[-500:]!r}")
    return elapsed, completed


def main():
    options = parse_arguments()
    if shutil.which("ewfacquire") is None:
        sys.exit("ewfacquire not found (Debian package ewf-tools; scripts/install-deps.sh)")
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        sys.exit(f"{binary} does not exist: build the quillon target first")
    raw = scan_e2e.ensure_image(options)
    ewf = ensure_ewf(raw, options.compression)
    segments = sorted(ewf.parent.glob("image.E*"))
    size = raw.stat().st_size
    warm([raw, *segments])

    commands = {
        "cat raw": ["sh", "-c", f"cat '{raw}' > /dev/null"],
        "scan raw": [binary, "scan", raw, "--json"],
        "scan E01": [binary, "scan", ewf, "--json"],
        "scan raw --hash": [binary, "scan", raw, "--json", "--hash"],
        "sha256sum raw": ["sha256sum", raw],
        "md5sum raw": ["md5sum", raw],
    }
    best = {name: float("inf") for name in commands}
    outputs = {}
    for _ in range(options.repeat):
        for name, command in commands.items():
            elapsed, completed = timed([str(part) for part in command])
            best[name] = min(best[name], elapsed)
            outputs[name] = completed

    raw_records = outputs["scan raw"].stdout
    if outputs["scan E01"].stdout != raw_records:
        sys.exit("the E01 scan lists other records than the raw scan")
    hash_lines = outputs["scan raw --hash"].stderr.decode().splitlines()
    sha256 = outputs["sha256sum raw"].stdout.split()[0].decode()
    md5 = outputs["md5sum raw"].stdout.split()[0].decode()
    if f"sha256 {sha256}" not in hash_lines or f"md5 {md5}" not in hash_lines:
        sys.exit(f"--hash printed {hash_lines}, sha256sum {sha256}, md5sum {md5}")

    ewf_bytes = sum(segment.stat().st_size for segment in segments)
    print(f"raw image {raw} ({size / GIB:.2f} GiB), E01 in {len(segments)} segments "
          f"({ewf_bytes / GIB:.2f} GiB, compression {options.compression}); "
          f"{len(raw_records.splitlines())} records; best of {options.repeat}")
    for name, seconds in best.items():
        print(f"  {name:<18} {seconds:7.2f} s  {size / GIB / seconds:6.2f} GiB/s")
    print(f"  E01 scan / raw scan:           {best['scan E01'] / best['scan raw']:.2f}")
    print(f"  scan --hash / scan:            {best['scan raw --hash'] / best['scan raw']:.2f}")
    print(f"  scan --hash / sha256sum:       {best['scan raw --hash'] / best['sha256sum raw']:.2f}")
    print(f"  scan --hash / (sha256sum + md5sum): "
          f"{best['scan raw --hash'] / (best['sha256sum raw'] + best['md5sum raw']):.2f}")
    print("  digests: --hash agrees with sha256sum and md5sum; E01 records equal the raw records")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""End-to-end save benchmark: how fast `quillon save` writes every mail of a 1 GiB image, next to
`cp -r` of the folder it wrote, in the same run.

    bench/save_e2e.py [--build-dir B] [--image IMAGE] [--repeat N] [--format eml|txt]

The image is the scan benchmark's (B/bench-1g.img, built by bench/scan_e2e.py's rules with
tools/quillon-mkimage --layout bench when missing). `quillon save` scans before it saves, so the
scan alone (`quillon scan --json`) is timed too and the save phase is the difference. Printed:
seconds of each command (best of N), mails per second and bytes written per second of the save
phase, the ratio to `cp -r` of the written folder, and how many times the run opened the image
(once for the scan and once for the whole save run; counted with strace when it is installed).
"""

import argparse
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(SOURCE_DIR / "bench"))
import scan_e2e  # noqa: E402  (builds and caches the benchmark image)

GIB = 1 << 30
MIB = 1 << 20


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=pathlib.Path, default=SOURCE_DIR / "build")
    parser.add_argument("--image", type=pathlib.Path, help="save from this image instead")
    parser.add_argument("--size", type=int, default=GIB, help="size of a newly built image")
    parser.add_argument("--mails", type=int, default=1500, help="mails in a newly built image")
    parser.add_argument("--repeat", type=int, default=3, help="runs per command (best counts)")
    parser.add_argument("--format", choices=("eml", "txt"), default="eml")
    return parser.parse_args()


def timed(command, prepare=None, repeat=3):
    """Best wall time of `repeat` runs; `prepare` runs before each, outside the timing."""
    best = None
    completed = None
    for _ in range(repeat):
        if prepare:
            prepare()
        started = time.perf_counter()
        completed = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - started
        if completed.returncode != 0:
            sys.exit(f"{' '.join(map(str, command))} failed ({completed.returncode}): "
                     f"{completed.stderr.decode(errors='replace')[-500:]}")
        best = elapsed if best is None else min(best, elapsed)
    return best, completed.stdout.decode(errors="replace")


def folder_size(folder):
    files = [path for path in folder.rglob("*") if path.is_file()]
    return len(files), sum(path.stat().st_size for path in files)


def image_opens(command, image):
    """How many times the command opened the image, or None without strace."""
    if shutil.which("strace") is None:
        return None
    with tempfile.NamedTemporaryFile(suffix=".strace") as trace:
        subprocess.run(["strace", "-f", "-e", "trace=openat", "-o", trace.name, *map(str, command)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        lines = pathlib.Path(trace.name).read_text(errors="replace").splitlines()
    name = str(image)
    return sum(1 for line in lines if f'"{name}"' in line and "= -1" not in line)


def main():
    options = parse_arguments()
    quillon = options.build_dir / "bin" / "quillon"
    if not quillon.exists():
        sys.exit(f"{quillon} not found: build the quillon target (or give --build-dir)")
    image = options.image or scan_e2e.ensure_image(options)
    size = image.stat().st_size
    work = options.build_dir / "bench-save"
    out = work / "out"
    copy = work / "copy"

    def clear(folder):
        return lambda: shutil.rmtree(folder, ignore_errors=True)

    subprocess.run(["cat", image], stdout=subprocess.DEVNULL, check=True)  # warm the page cache
    scan_seconds, scan_output = timed([quillon, "scan", image, "--json"], repeat=options.repeat)
    found = sum(1 for line in scan_output.splitlines() if line.strip())
    save = [quillon, "save", image, "--out", out, "--format", options.format]
    save_seconds, save_output = timed(save, prepare=clear(out), repeat=options.repeat)
    files, written = folder_size(out)
    copy_seconds, _ = timed(["cp", "-r", out, copy], prepare=clear(copy), repeat=options.repeat)
    opens = image_opens(save, image)

    phase = max(save_seconds - scan_seconds, 1e-9)
    print(f"\nimage {image} ({size / GIB:.2f} GiB), best of {options.repeat}, format {options.format}")
    print(f"{'command':<34}{'seconds':>9}")
    print(f"{'quillon scan --json':<34}{scan_seconds:>9.3f}")
    print(f"{'quillon save (scan + save)':<34}{save_seconds:>9.3f}")
    print(f"{'  save phase (difference)':<34}{phase:>9.3f}")
    print(f"{'cp -r of the written folder':<34}{copy_seconds:>9.3f}")
    print(f"mails found {found}, files written {files} ({written / MIB:.1f} MiB); "
          f"quillon said: {save_output.strip().splitlines()[-1] if save_output.strip() else '-'}")
    print(f"save phase: {files / phase:,.0f} mails/s, {written / MIB / phase:.1f} MiB/s written; "
          f"cp -r: {files / copy_seconds:,.0f} files/s, {written / MIB / copy_seconds:.1f} MiB/s; "
          f"save phase / cp -r = {phase / copy_seconds:.2f}")
    if opens is not None:
        print(f"the image was opened {opens} times by `quillon save` (scan and save run: 2 "
              f"expected, not one per mail)")
        if opens > 2:
            print("WARNING: the save run opens the source more than once")
    if files != found:
        print(f"WARNING: {found} mails found but {files} files written")
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

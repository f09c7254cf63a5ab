#!/usr/bin/env python3
"""End-to-end save benchmark: how fast `quillon save` writes every found mail of an image, next
to `cp -r` of the folder it wrote, in the same run.

    bench/save_e2e.py [--build-dir B] [--kind dense|attachments|bench] [--size SIZE]
                      [--image IMAGE] [--out-root DIR] [--repeat N] [--format eml|txt|mbox]
                      [--report] [--baseline-binary OLD]

The image is the dense-mail one of bench/scan_kinds.py by default (B/bench-dense-1g.img, about
63,000 mails back to back), or `--kind bench`: the 1 GiB mostly-binary image of
bench/scan_e2e.py with about 1,500 mails. Mails are written below --out-root, by default a
folder in /dev/shm (a tmpfs: the figure is quillon's own cost, not the disk's). `quillon save`
scans before it saves, so the scan alone (`quillon scan --json`) is timed too and the save phase
is the difference. N rounds run scan, save and `cp -r` once each in turn; the best of each
counts. With --report a save with `--report` runs in each round too, and its rate is printed
beside the plain save's (the cost of the reports: byte runs checked against the source, SHA-256
of every file, the two files written). With --baseline-binary an earlier build's scan and save
(and save with --report) run in every round too: its save phase is printed beside this build's
(mails per second of wall time and per CPU second, and the ratio), and the files the two wrote
must be the same, byte for byte and with the same modification times. Printed: seconds, mails
per second of the save phase and of the whole save run, bytes written per second, the ratio to
`cp -r`, and how many times the run opened the image (once for
the scan and once for the whole save run; counted with strace when it is installed).
"""

import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import bench_images  # noqa: E402
import bench_runs  # noqa: E402
import scan_e2e  # noqa: E402  (builds and caches the --kind bench image)

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[1]
GIB = 1 << 30
MIB = 1 << 20


def parse_arguments(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=pathlib.Path, default=SOURCE_DIR / "build")
    parser.add_argument("--kind", choices=(*bench_images.MAIL_KINDS, "bench"), default="dense")
    parser.add_argument("--image", type=pathlib.Path, help="save from this image instead")
    parser.add_argument("--image-dir", type=pathlib.Path,
                        help="where --kind images are kept (default: the build dir)")
    parser.add_argument("--size", type=bench_images.parse_size,
                        help="size of a newly built image (default 1g; attachments 2g)")
    parser.add_argument("--mails", type=int, default=1500,
                        help="--kind bench: mails in a newly built image")
    parser.add_argument("--out-root", type=pathlib.Path,
                        help="write below this folder (default: a new folder in /dev/shm)")
    parser.add_argument("--repeat", type=int, default=3, help="rounds (best counts; default 3)")
    parser.add_argument("--format", choices=("eml", "txt", "mbox"), default="eml")
    parser.add_argument("--report", action="store_true",
                        help="also time the save with --report in each round")
    parser.add_argument("--baseline-binary", type=pathlib.Path,
                        help="also time this quillon (an earlier build) in every round, and "
                             "check that it writes the same files")
    options = parser.parse_args(argv)
    options.image_dir = options.image_dir or options.build_dir
    return options


def benchmark_image(options):
    if options.image:
        return options.image
    if options.kind == "bench":
        options.size = options.size or GIB
        return scan_e2e.ensure_image(options)
    image, _seconds = bench_images.ensure_image(options.image_dir, options.kind, options.size)
    return image


def folder_size(folder):
    files = [path for path in folder.rglob("*") if path.is_file()]
    return len(files), sum(path.stat().st_size for path in files)


def image_opens(command, image):
    """How many times the command opened the image, or None without strace."""
    if shutil.which("strace") is None:
        return None
    # LeakSanitizer cannot run under ptrace and aborts a sanitizer build there.
    environment = dict(os.environ)
    environment["ASAN_OPTIONS"] = ":".join(
        option for option in (environment.get("ASAN_OPTIONS"), "detect_leaks=0") if option)
    with tempfile.NamedTemporaryFile(suffix=".strace") as trace:
        subprocess.run(["strace", "-f", "-e", "trace=openat", "-o", trace.name, *map(str, command)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                       env=environment)
        lines = pathlib.Path(trace.name).read_text(errors="replace").splitlines()
    name = str(image)
    return sum(1 for line in lines if f'"{name}"' in line and "= -1" not in line)


def save_steps(quillon, image, work, options, prefix=""):
    """The timed commands of one binary: label -> (command, stdout path, folder cleared)."""
    out, listing = work / f"{prefix}out", work / f"{prefix}scan.jsonl"
    steps = {
        f"{prefix}scan": ([quillon, "scan", image, "--json"], listing, None),
        f"{prefix}save": ([quillon, "save", image, "--out", out, "--format", options.format],
                          None, out),
    }
    if options.report:
        reported = work / f"{prefix}reported"
        steps[f"{prefix}report"] = ([quillon, "save", image, "--out", reported, "--format",
                                     options.format, "--report"], None, reported)
    return steps


def timed_rounds(quillon, image, work, options):
    """Best of N rounds of scan, save and `cp -r` (and the baseline's scan and save), each on a
    cleared folder."""
    out, copy, listing = work / "out", work / "copy", work / "scan.jsonl"
    steps = save_steps(quillon, image, work, options)
    steps["copy"] = (["cp", "-r", out, copy], None, copy)
    if options.baseline_binary:
        steps.update(save_steps(options.baseline_binary, image, work, options, "baseline-"))
    best = {label: bench_runs.Best() for label in steps}
    for _ in range(options.repeat):
        for label, (command, stdout_path, cleared) in steps.items():
            if cleared is not None:
                shutil.rmtree(cleared, ignore_errors=True)
            best[label].add(bench_runs.run_measured(command, stdout_path))
    found = sum(1 for line in listing.read_text(errors="replace").splitlines() if line.strip())
    return best, found, out


def folder_differences(new, old, started_ns):
    """What differs between two written folders: names only in one, files whose bytes or
    modification times differ. A file whose mail has no usable date keeps the time it was
    written: two such times (both after `started_ns`) are not compared."""
    def files(folder):
        return {path.relative_to(folder): path for path in folder.rglob("*") if path.is_file()}
    new_files, old_files = files(new), files(old)
    differences = [f"only in {new.name}: {name}"
                   for name in sorted(new_files.keys() - old_files.keys())]
    differences += [f"only in {old.name}: {name}"
                    for name in sorted(old_files.keys() - new_files.keys())]
    for name in sorted(new_files.keys() & old_files.keys()):
        a, b = new_files[name], old_files[name]
        if a.read_bytes() != b.read_bytes():
            differences.append(f"bytes differ: {name}")
        elif a.stat().st_mtime_ns != b.stat().st_mtime_ns and \
                min(a.stat().st_mtime_ns, b.stat().st_mtime_ns) < started_ns:
            differences.append(f"file time differs: {name}")
    return differences


def print_comparison(best, files, options):
    """Before (the baseline binary) and after, from the same rounds."""
    print(f"\nsave phase, {files} mails (best of {options.repeat}; the baseline ran in the same "
          f"rounds)")
    print(f"{'':<36}{'baseline':>12}{'this build':>12}{'ratio':>8}")
    kinds = [("save", "--format " + options.format)]
    if options.report:
        kinds.append(("report", "--format " + options.format + " --report"))
    for label, name in kinds:
        wall = [max(best[f"{prefix}{label}"].seconds - best[f"{prefix}scan"].seconds, 1e-9)
                for prefix in ("baseline-", "")]
        cpu = [max(best[f"{prefix}{label}"].cpu_seconds - best[f"{prefix}scan"].cpu_seconds,
                   1e-9) for prefix in ("baseline-", "")]
        print(f"{name + ': mails/s (wall)':<36}{files / wall[0]:>12,.0f}{files / wall[1]:>12,.0f}"
              f"{wall[0] / wall[1]:>8.2f}")
        print(f"{name + ': mails per CPU s':<36}{files / cpu[0]:>12,.0f}{files / cpu[1]:>12,.0f}"
              f"{cpu[0] / cpu[1]:>8.2f}")


def main(argv=None):
    options = parse_arguments(argv)
    quillon = options.build_dir / "bin" / "quillon"
    if not quillon.exists():
        sys.exit(f"{quillon} not found: build the quillon target (or give --build-dir)")
    image = benchmark_image(options)
    size = image.stat().st_size
    bench_runs.run_measured(["cat", image])  # into the page cache
    load_before = bench_runs.machine_load()
    if options.out_root:
        options.out_root.mkdir(parents=True, exist_ok=True)
        scratch = tempfile.TemporaryDirectory(prefix="quillon-save-", dir=options.out_root)
    else:
        scratch = bench_runs.scratch_folder(3 * size)
    with scratch as folder:
        work = pathlib.Path(folder)
        started_ns = time.time_ns()
        best, found, out = timed_rounds(quillon, image, work, options)
        files, written = folder_size(out)
        if options.format == "mbox":
            files = found  # one mailbox holds them all
        shutil.rmtree(work / "copy", ignore_errors=True)
        opens = image_opens([quillon, "save", image, "--out", work / "traced", "--format",
                             options.format], image)
        scan_seconds, save_seconds = best["scan"].seconds, best["save"].seconds
        copy_seconds = best["copy"].seconds
        phase = max(save_seconds - scan_seconds, 1e-9)
        print(f"\nimage {image} ({size / GIB:.2f} GiB), written to {work} "
              f"(filesystem {filesystem_type(work)}), best of {options.repeat}, format "
              f"{options.format}; {load_before} before, {bench_runs.machine_load()} after")
        print(f"{'command':<34}{'seconds':>9}{'CPU s':>9}")
        for label, name in (("scan", "quillon scan --json"), ("save", "quillon save (scan + save)"),
                            ("copy", "cp -r of the written folder")):
            print(f"{name:<34}{best[label].seconds:>9.3f}{best[label].cpu_seconds:>9.3f}")
        print(f"{'  save phase (difference)':<34}{phase:>9.3f}")
        print(f"mails found {found}, files written {files} ({written / MIB:.1f} MiB), peak RSS "
              f"of the save run {best['save'].peak_rss_kib / 1024:.1f} MiB")
        cpu_phase = max(best["save"].cpu_seconds - best["scan"].cpu_seconds, 1e-9)
        print(f"save phase by CPU time: {cpu_phase:.3f} s, {files / cpu_phase:,.0f} mails/s")
        print(f"save phase: {files / phase:,.0f} mails/s, {written / MIB / phase:.1f} MiB/s "
              f"written; whole save run: {files / save_seconds:,.0f} mails/s; cp -r: "
              f"{files / copy_seconds:,.0f} files/s, {written / MIB / copy_seconds:.1f} MiB/s; "
              f"save phase / cp -r = {phase / copy_seconds:.2f}")
        if options.report:
            reported = max(best["report"].seconds - scan_seconds, 1e-9)
            print(f"{'quillon save --report':<34}{best['report'].seconds:>9.3f}"
                  f"{best['report'].cpu_seconds:>9.3f}")
            print(f"save phase with --report: {files / reported:,.0f} mails/s (without: "
                  f"{files / phase:,.0f} mails/s; {reported / phase:.2f} times the time); whole "
                  f"run with --report: {files / best['report'].seconds:,.0f} mails/s")
        differences = []
        if options.baseline_binary:
            print_comparison(best, files, options)
            differences = folder_differences(out, work / "baseline-out", started_ns)
    status = 0
    if differences:
        print(f"SANITY: the baseline wrote other files ({len(differences)} differences): "
              + "; ".join(differences[:5]))
        status = 1
    if opens is not None:
        print(f"the image was opened {opens} times by `quillon save` (scan and save run: 2 "
              f"expected, not one per mail)")
        if opens > 2:
            print("SANITY: the save run opens the source more than once")
            status = 1
    if files != found:
        print(f"SANITY: {found} mails found but {files} files written")
        status = 1
    return status


def filesystem_type(folder):
    """The type of the filesystem holding `folder` (tmpfs, ext4, ...), from /proc/mounts."""
    try:
        mounts = [line.split() for line in pathlib.Path("/proc/mounts").read_text().splitlines()]
    except OSError:
        return "unknown"
    resolved = str(pathlib.Path(folder).resolve())
    best = ("", "unknown")
    for fields in mounts:
        point = fields[1]
        if (resolved == point or resolved.startswith(point.rstrip("/") + "/")) \
                and len(point) > len(best[0]):
            best = (point, fields[2])
    return best[1]


if __name__ == "__main__":
    sys.exit(main())

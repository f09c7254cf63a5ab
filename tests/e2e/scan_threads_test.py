#!/usr/bin/env python3
"""The command line on several threads prints exactly what it prints on one: `quillon scan
--json --hash` with `--threads 1`, `2` and `3`, with and without `--strict`, prints the same
bytes, the same error text and the same exit status on images of several layouts (each spanning
more chunks than a scan round looks at, so that workers walk later chunks afresh and scan their
shapes while the first walk carves the current one, and it takes their walks over where it meets
them), and on the dense image with unreadable sectors. A bad `--threads` value is a usage error
(exit status 2) that says what it takes. (Every layout, with chunks small enough for many mails
to cross their boundaries, is compared in tests/scan/parallel/thread_count_test.cpp.)

The images are built from tools/demo-mails and, where present, the corpus; without the corpus
the test still runs on the demo mails and says so.
"""

import os
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

MIB = 1 << 20
# (name, layout, builder options, shift): every layout, at a size of many 1 MiB chunks.
IMAGES = [
    ("dbx-fragment", "dbx", ["--fragment", "--size", str(10 * MIB)], 524_300),
    ("mixed", "mixed", ["--size", str(10 * MIB)], 333),
    ("glued-chunk", "glued-chunk", ["--size", str(10 * MIB)], 0),
    # A mail cut off by the image's end: the last chunks are walked ahead with the zeros that
    # stand behind the end.
    ("tail", "tail", ["--size", str(10 * MIB)], 0),
    ("bench-dense", "bench-dense", ["--size", str(24 * MIB)], 0),
    ("bench-attachments", "bench-attachments", ["--size", str(16 * MIB)], 0),
    ("bench-zeros", "bench-zeros", ["--size", str(9 * MIB)], 0),
]
WITHOUT_MAIL = {"bench-zeros"}
THREADS = (1, 2, 3)
MODES = (("default", []), ("strict", ["--strict"]))
# Sectors the failing-reads library makes unreadable in the dense image: single sectors in
# mails and a run across a chunk boundary.
FAILING_SECTORS = "700,2047-2050,5000,9000-9100,14335,30000-30100"


def scan(binary, image, arguments, env=None):
    completed = subprocess.run([str(binary), "scan", str(image), "--json", "--hash", *arguments],
                               capture_output=True, env=env)
    return completed.returncode, completed.stdout, completed.stderr


def first_difference(one, other):
    lines, other_lines = one.splitlines(), other.splitlines()
    for number, (line, other_line) in enumerate(zip(lines, other_lines), 1):
        if line != other_line:
            return f"line {number}: {line[:160]!r} / {other_line[:160]!r}"
    return f"{len(lines)} lines / {len(other_lines)} lines"


def compare_threads(binary, image, name, checker, env=None):
    for mode, extra in MODES:
        reference = scan(binary, image, [*extra, "--threads", "1"], env)
        checker.expect(reference[0] == 0, f"{name} {mode}", f"exit status {reference[0]}: "
                       f"{reference[2][-300:]!r}")
        # (--strict finds no mail whose lines end in a bare LF)
        checker.expect(b'"sector"' in reference[1] or name in WITHOUT_MAIL or mode == "strict",
                       f"{name} {mode}", "no mail found: nothing to compare")
        for threads in THREADS[1:]:
            outcome = scan(binary, image, [*extra, "--threads", str(threads)], env)
            where = f"{name} {mode} --threads {threads}"
            checker.expect(outcome[0] == reference[0], where,
                           f"exit status {outcome[0]}, with one thread {reference[0]}")
            checker.expect(outcome[1] == reference[1], where,
                           "output differs from one thread's: " +
                           first_difference(outcome[1], reference[1]))
            checker.expect(outcome[2] == reference[2], where,
                           "error output differs from one thread's: " +
                           first_difference(outcome[2], reference[2]))


def check_bad_values(binary, image, checker):
    for value, message in (("0", b"--threads needs a number of threads between 1 and 256"),
                           ("257", b"--threads needs a number of threads between 1 and 256"),
                           ("-1", b"--threads needs a number, not '-1'"),
                           ("many", b"--threads needs a number, not 'many'")):
        returncode, stdout, stderr = scan(binary, image, ["--threads", value])
        checker.expect(returncode == 2, f"--threads {value}", f"exit status {returncode}, not 2")
        checker.expect(message in stderr and stdout == b"", f"--threads {value}",
                       f"error output {stderr[-300:]!r}")


class Checker:
    def __init__(self):
        self.failures = []

    def expect(self, condition, context, message):
        if not condition:
            self.failures.append(f"{context}: {message}")


def main():
    options = support.parse_arguments(__doc__)
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} not built")
    corpus = support.corpus_dir(options.source_dir)
    inputs = [options.source_dir / "tools" / "demo-mails"]
    if corpus is None:
        print("note: " + support.CORPUS_MISSING.replace("; skipping", "") +
              ": images from the demo mails only")
    else:
        inputs += support.mail_files(corpus)[::3]
    failing_reads = options.build_dir / "lib" / "libquillon_failing_reads.so"
    checker = Checker()
    with support.ScratchDir(options.build_dir, "scan_threads", options.keep) as scratch:
        images = {}
        for name, layout, extra, shift in IMAGES:
            images[name], _ = support.build_image(options.source_dir, scratch.path, name, layout,
                                                  inputs, seed=5, shift=shift, extra=extra)
            compare_threads(binary, images[name], name, checker)
        check_bad_values(binary, images["mixed"], checker)
        if failing_reads.exists():
            env = dict(os.environ, LD_PRELOAD=str(failing_reads),
                       QUILLON_FAIL_FILE=str(images["bench-dense"]),
                       QUILLON_FAIL_SECTORS=FAILING_SECTORS)
            compare_threads(binary, images["bench-dense"], "bench-dense-failing", checker, env)
        else:
            print(f"note: {failing_reads} not built: no image with unreadable sectors")
        for failure in checker.failures[:20]:
            print(f"FAIL {failure}")
        print(f"{len(IMAGES)} images, {len(checker.failures)} differences")
        scratch.finish(not checker.failures)
    return support.FAIL if checker.failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

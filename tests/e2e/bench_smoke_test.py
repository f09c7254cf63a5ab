#!/usr/bin/env python3
"""The benchmark scripts run: bench/scan_kinds.py over a tiny image of every kind and
bench/save_e2e.py over a tiny dense one, each once, and their own sanity checks hold (every
strictly expected mail found, no mail in images without, one file per found mail, the source
opened once per pass). Figures are not judged here: speed lives in the benchmarks."""

import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

SIZE = "2m"


def run(script, *arguments):
    completed = subprocess.run([sys.executable, str(script), *map(str, arguments)],
                               capture_output=True, text=True)
    return completed.returncode, completed.stdout + completed.stderr


def main():
    options = support.parse_arguments(__doc__)
    if not (options.build_dir / "bin" / "quillon").exists():
        support.skip("quillon is not built")
    bench = options.source_dir / "bench"
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        status, output = run(bench / "scan_kinds.py", "--build-dir", options.build_dir,
                             "--image-dir", folder, "--size", SIZE, "--repeat", "1")
        if status != 0 or "| dense |" not in output or "| zeros |" not in output:
            failures.append(f"scan_kinds.py exited {status}:\n{output[-2000:]}")
        status, output = run(bench / "save_e2e.py", "--build-dir", options.build_dir,
                             "--image-dir", folder, "--size", SIZE, "--repeat", "1")
        if status != 0 or "mails/s" not in output:
            failures.append(f"save_e2e.py exited {status}:\n{output[-2000:]}")
    for failure in failures:
        print(f"FAIL: {failure}")
    print(f"{2 - len(failures)} passed, {len(failures)} failed")
    return support.FAIL if failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Signals sent to the real `quillon` in the middle of its work, and a reader that goes away.

- SIGINT, SIGTERM and SIGHUP during `scan` (a sparse image of 64 GiB whose mails lie at its
  start): every mail found is still printed, each line whole and valid (the same lines a full
  scan of the mails gives), stderr says "stopped by SIG... after N mails", and the exit status
  is 130, 143 or 129;
- a signal during the scan of `save` saves nothing and makes no folder; during `show`, prints
  nothing;
- SIGTERM while `save` writes (the run frozen with SIGSTOP once files appear): every file in the
  folder is whole (byte for byte the file a full run writes), no temporary file is left, stderr
  counts exactly the files there, the exit status is 143; a second run into the folder then
  writes only the rest and says how many were there already, after which the folder equals the
  full run's;
- `quillon scan IMAGE --json | head -1`: the reader leaves, quillon ends quietly (no text on
  stderr) with status 141, as a shell reports a command whose pipe reader left.
"""

import json
import pathlib
import re
import signal
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import cli_support as cli  # noqa: E402
import e2e_support as support  # noqa: E402

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
# The mails lie in the first megabyte; once this much is read the scan is far behind them.
READ_PAST_MAILS = 48 << 20


def start(binary, *arguments):
    return subprocess.Popen([str(binary), *map(str, arguments)], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)


def stop_scan(checks, binary, image, sent, arguments):
    """Starts a run on the sparse image, signals it once it is past the mails; returns
    (exit status, stdout, stderr) or None."""
    process = start(binary, *arguments)
    try:
        if not checks.expect(cli.wait_for_reading(process, READ_PAST_MAILS),
                             f"{' '.join(map(str, arguments[:1]))}: the run ended before the "
                             f"signal (exit {process.returncode})"):
            process.communicate(timeout=cli.RUN_TIMEOUT)
            return None
        process.send_signal(sent)
        stdout, stderr = process.communicate(timeout=cli.RUN_TIMEOUT)
        return process.returncode, stdout, stderr.decode("utf-8", "replace")
    finally:
        cli.kill_quietly(process)


def check_scan_signals(checks, binary, small, big):
    print("signals during scan:")
    full = cli.run([binary, "scan", small, "--json"])
    expected = full.stdout.splitlines()
    checks.expect(full.returncode == 0 and len(expected) == 8,
                  f"full scan of the demo image: exit {full.returncode}, {len(expected)} lines")
    for sent in SIGNALS:
        outcome = stop_scan(checks, binary, big, sent, ["scan", big, "--json"])
        if outcome is None:
            continue
        code, stdout, stderr = outcome
        name = sent.name
        lines = stdout.splitlines()
        checks.expect(code == cli.stopped_status(sent), f"{name}: exit {code}")
        checks.expect(re.fullmatch(rf"quillon: stopped by {name} after 8 mails, at sector \d+ of "
                                   rf"{cli.SPARSE_SIZE // 512}\n", stderr) is not None,
                      f"{name}: stderr {stderr!r}")
        checks.expect(lines == expected, f"{name}: {len(lines)} lines, not the {len(expected)} "
                                         f"lines of the full scan")
        for line in lines:
            try:
                json.loads(line)
            except ValueError:
                checks.expect(False, f"{name}: a line is not JSON: {line[:80]!r}")
    # The table keeps its heading and count line too.
    outcome = stop_scan(checks, binary, big, signal.SIGINT, ["scan", big])
    if outcome is not None:
        code, stdout, _stderr = outcome
        table = stdout.decode("utf-8", "replace").splitlines()
        checks.expect(code == 130 and table[:1] and table[0].lstrip().startswith("#")
                      and table[-1:] == ["Found 8 Mails"] and len(table) == 10,
                      f"table after SIGINT: exit {code}, {table[:1]} ... {table[-1:]}")


def check_save_and_show_while_scanning(checks, binary, big, scratch):
    print("signals during the scan of save and show:")
    out = scratch / "stopped-while-scanning"
    outcome = stop_scan(checks, binary, big, signal.SIGTERM, ["save", big, "--out", out])
    if outcome is not None:
        code, stdout, stderr = outcome
        checks.expect(code == 143 and stderr.endswith("; nothing was saved\n") and not stdout
                      and not out.exists(),
                      f"save stopped while scanning: exit {code}, {stderr!r}, folder made: "
                      f"{out.exists()}")
    outcome = stop_scan(checks, binary, big, signal.SIGINT, ["show", big, "--index", 1])
    if outcome is not None:
        code, stdout, stderr = outcome
        checks.expect(code == 130 and not stdout and "stopped by SIGINT" in stderr,
                      f"show stopped while scanning: exit {code}, {len(stdout)} bytes, "
                      f"{stderr!r}")


def check_save_signal(checks, binary, many, scratch):
    print("SIGTERM while save writes, then the same save again:")
    reference = scratch / "reference"
    full = cli.run([binary, "save", many, "--out", reference])
    expected = cli.folder_bytes(reference / "Mail Box")
    total = len(expected)
    checks.expect(full.returncode == 0 and total > 1000,
                  f"full save: exit {full.returncode}, {total} files")

    out = scratch / "stopped"
    box = out / "Mail Box"
    process = start(binary, "save", many, "--out", out)
    try:
        caught = cli.wait_until(lambda: len(cli.files_in(box)) >= 20, process)
        if not checks.expect(caught, f"save ended before its files could be watched "
                                     f"(exit {process.returncode})"):
            return
        cli.signal_frozen(process, signal.SIGTERM)
        stdout, stderr = process.communicate(timeout=cli.RUN_TIMEOUT)
    finally:
        cli.kill_quietly(process)
    stderr = stderr.decode("utf-8", "replace")
    saved = cli.folder_bytes(box)
    checks.expect(process.returncode == 143, f"exit {process.returncode} after SIGTERM")
    match = re.search(r"quillon: stopped by SIGTERM after saving (\d+) of (\d+) mails\n", stderr)
    checks.expect(match is not None and int(match.group(1)) == len(saved)
                  and int(match.group(2)) == total,
                  f"stderr {stderr!r} for {len(saved)} files of {total}")
    checks.expect(0 < len(saved) < total, f"{len(saved)} of {total} files after the stop")
    checks.expect(stdout.decode().startswith(f"Saved {len(saved)} mails!"),
                  f"stdout {stdout[:80]!r}")
    leftovers = [name for name in saved if name.startswith(".")]
    cut = [name for name, data in saved.items()
           if not name.startswith(".") and expected.get(name) != data]
    checks.expect(not leftovers, f"temporary files left: {leftovers[:3]}")
    checks.expect(not cut, f"{len(cut)} files differ from the full run's, e.g. {cut[:3]}")

    again = cli.run([binary, "save", many, "--out", out])
    checks.expect(again.returncode == 0, f"second run: exit {again.returncode}")
    checks.expect(again.stdout.decode() == f"Saved {total - len(saved)} mails!\n"
                                           f"{len(saved)} mails were already in the folder.\n",
                  f"second run said {again.stdout[:120]!r}")
    checks.expect(cli.folder_bytes(box) == expected,
                  "after the second run the folder is not what a full run writes")


def check_reader_leaves(checks, binary, many):
    print("a reader that goes away:")
    for arguments in (["scan", many, "--json"], ["scan", many]):
        process = start(binary, *arguments)
        try:
            first = process.stdout.readline()
            process.stdout.close()
            stderr = process.stderr.read()
            process.wait(timeout=cli.RUN_TIMEOUT)
        finally:
            cli.kill_quietly(process)
        checks.expect(first and process.returncode == 141 and not stderr,
                      f"{' '.join(arguments[:1] + arguments[2:])} | head -1: exit "
                      f"{process.returncode}, stderr {stderr[:200]!r}")


def main():
    options = support.parse_arguments(__doc__.splitlines()[0])
    binary = options.build_dir / "bin" / "quillon"
    if not binary.is_file():
        support.skip(f"{binary} not built")
    checks = cli.Checks()
    with support.ScratchDir(options.build_dir, "cli-stop", options.keep) as scratch:
        small = cli.demo_image(options.source_dir, scratch.path)
        big = cli.sparse_copy(small, scratch.path / "sparse.img")
        many = cli.many_mails_image(options.source_dir, scratch.path)
        check_scan_signals(checks, binary, small, big)
        check_save_and_show_while_scanning(checks, binary, big, scratch.path)
        check_save_signal(checks, binary, many, scratch.path)
        check_reader_leaves(checks, binary, many)
        scratch.finish(not checks.failures)
    return checks.result()


if __name__ == "__main__":
    sys.exit(main())

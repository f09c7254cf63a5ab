#!/usr/bin/env python3
"""Input that gives no answer, output that cannot be written, folders that cannot be made: the
real `quillon` must say what is wrong and exit with a status that says it.

- usage errors (exit 2, a message naming the problem, nothing on stdout): a start sector past
  the end, --sectors 0, a code page no converter supports, an option of another command,
  standard input ("-") as the source;
- `quillon <command> --help` prints the usage (with the exit statuses) and exits 0;
- sources without a size (a pipe with and without a writer, /dev/zero, /dev/null) are refused
  by scan, save and show at once (exit 1, the reason), and save makes no folder for them;
- standard output on a full disk (/dev/full): "quillon: cannot write to standard output: No
  space left on device" and exit 1, for scan (table and JSON), show, save, --help and --version;
- a folder that cannot be made: the folder and the system's reason ("Not a directory"; "Read-only
  file system" on a read-only mount where the machine lets the test mount one), and no folder
  of those the run made is left behind, also when the source cannot be opened.
"""

import os
import pathlib
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import cli_support as cli  # noqa: E402
import e2e_support as support  # noqa: E402

FULL_DISK = "quillon: cannot write to standard output: No space left on device\n"
SIZE_UNKNOWN = "its size cannot be known"


def check_usage_errors(checks, binary, image, scratch):
    print("usage errors:")
    sectors = image.stat().st_size // 512
    rows = [
        (["scan", image, "--start-sector", sectors], f"--start-sector {sectors} lies past the end"),
        (["show", image, "--index", 1, "--start-sector", 10 ** 12], "lies past the end"),
        (["scan", image, "--sectors", 0], "--sectors needs a number from 1 on"),
        (["scan", image, "--codepage", 12345], "--codepage 12345: no converter"),
        (["scan", image, "--out", "x"], "--out is an option of save, not of scan"),
        (["save", image, "--out", "x", "--json"], "--json is an option of scan, not of save"),
        (["show", image, "--index", 1, "--skip-duplicates"],
         "--skip-duplicates is an option of save, not of show"),
        (["scan", "-"], "standard input ('-')"),
        (["save", image], "save needs --out DIR"),
        (["show", image], "show needs --index N"),
    ]
    for arguments, message in rows:
        # In the scratch folder: a build that takes an option of another command for a source or
        # a folder must not leave it in the project.
        completed = cli.run([binary, *arguments], cwd=scratch)
        stderr = completed.stderr.decode("utf-8", "replace")
        checks.expect(completed.returncode == 2 and message in stderr and not completed.stdout,
                      f"{' '.join(map(str, arguments))}: exit {completed.returncode}, "
                      f"{stderr.strip()!r}")
    for command in ("scan", "save", "show"):
        for arguments in ([command, "--help"], [command, image, "--help"]):
            completed = cli.run([binary, *arguments])
            text = completed.stdout.decode("utf-8", "replace")
            checks.expect(completed.returncode == 0 and text.startswith("Usage: quillon")
                          and "Exit status" in text and "130" in text,
                          f"{' '.join(map(str, arguments))}: exit {completed.returncode}")


def feed_slowly(path, stop):
    """Writes mail text into a pipe a little at a time until told to stop."""
    try:
        with open(path, "wb") as pipe:
            while not stop.wait(0.05):
                pipe.write(b"Received: from a by b\r\n")
                pipe.flush()
    except (BrokenPipeError, OSError):
        pass


def check_sizeless_sources(checks, binary, scratch):
    print("sources without a size:")
    pipe = scratch / "pipe"
    os.mkfifo(pipe)
    for source in (pipe, pathlib.Path("/dev/zero"), pathlib.Path("/dev/null")):
        for command in (["scan"], ["save", "--out", scratch / "sizeless-out"],
                        ["show", "--index", 1]):
            completed = cli.run([binary, command[0], source, *command[1:]], timeout=30)
            stderr = completed.stderr.decode("utf-8", "replace")
            checks.expect(completed.returncode == 1 and f"cannot open {source}" in stderr
                          and SIZE_UNKNOWN in stderr,
                          f"{command[0]} {source}: exit {completed.returncode}, {stderr.strip()!r}")
    checks.expect(not (scratch / "sizeless-out").exists(), "save made a folder for a pipe")
    # A pipe that someone feeds is refused the same way, at once.
    stop = threading.Event()
    feeder = threading.Thread(target=feed_slowly, args=(pipe, stop))
    feeder.start()
    try:
        completed = cli.run([binary, "scan", pipe], timeout=30)
    finally:
        stop.set()
        # A reader that never waits lets a feeder still opening the pipe finish.
        drain = os.open(pipe, os.O_RDONLY | os.O_NONBLOCK)
        feeder.join()
        os.close(drain)
    checks.expect(completed.returncode == 1 and SIZE_UNKNOWN in completed.stderr.decode(),
                  f"scan of a fed pipe: exit {completed.returncode}")


def check_full_disk(checks, binary, image, scratch):
    print("standard output on a full disk:")
    for arguments in (["scan", image], ["scan", image, "--json"], ["show", image, "--index", 2],
                      ["show", image, "--index", 2, "--txt"], ["scan", "--help"], ["--version"],
                      ["save", image, "--out", scratch / "full-disk-out"]):
        with open("/dev/full", "wb") as full:
            completed = cli.run([binary, *arguments], stdout=full, stderr=subprocess.PIPE,
                                capture_output=False)
        stderr = completed.stderr.decode("utf-8", "replace")
        checks.expect(completed.returncode == 1 and stderr.endswith(FULL_DISK),
                      f"{' '.join(map(str, arguments[:1] + arguments[2:]))} > /dev/full: exit "
                      f"{completed.returncode}, {stderr!r}")
    checks.expect(len(cli.files_in(scratch / "full-disk-out" / "Mail Box")) == 8,
                  "save > /dev/full did not save the mails")


def try_read_only_mount(folder):
    """Mounts a read-only tmpfs on `folder`; False where the machine does not allow it."""
    folder.mkdir()
    completed = subprocess.run(["mount", "-t", "tmpfs", "-o", "ro,size=1m", "quillon-test",
                                str(folder)], capture_output=True)
    return completed.returncode == 0


def check_folders(checks, binary, image, scratch):
    print("folders that cannot be made:")
    blocker = scratch / "a-file"
    blocker.write_bytes(b"not a folder")
    completed = cli.run([binary, "save", image, "--out", blocker / "out"])
    stderr = completed.stderr.decode("utf-8", "replace")
    checks.expect(completed.returncode == 1
                  and stderr == f"quillon: cannot create {blocker / 'out'}: Not a directory\n",
                  f"save under a file: exit {completed.returncode}, {stderr!r}")

    # A source that cannot be opened leaves no folder: it is made only when there is something
    # to put in.
    out = scratch / "never" / "made"
    completed = cli.run([binary, "save", scratch / "missing.img", "--out", out])
    checks.expect(completed.returncode == 1 and not (scratch / "never").exists(),
                  f"save of a missing source: exit {completed.returncode}, folder left: "
                  f"{(scratch / 'never').exists()}")

    read_only = pathlib.Path(tempfile.mkdtemp(prefix="quillon-ro-"))
    mounted = try_read_only_mount(read_only / "mount")
    try:
        if not mounted:
            print("  skipped the read-only folder: this machine does not let the test mount one")
            return
        completed = cli.run([binary, "save", image, "--out", read_only / "mount" / "x" / "y"])
        stderr = completed.stderr.decode("utf-8", "replace")
        checks.expect(completed.returncode == 1 and stderr ==
                      f"quillon: cannot create {read_only / 'mount' / 'x' / 'y'}: Read-only file "
                      f"system\n", f"save onto a read-only mount: exit {completed.returncode}, "
                                   f"{stderr!r}")
    finally:
        if mounted:
            subprocess.run(["umount", str(read_only / "mount")], capture_output=True)
        cli.remove_tree(read_only)
        read_only.rmdir()


def main():
    options = support.parse_arguments(__doc__.splitlines()[0])
    binary = options.build_dir / "bin" / "quillon"
    if not binary.is_file():
        support.skip(f"{binary} not built")
    checks = cli.Checks()
    with support.ScratchDir(options.build_dir, "cli-input", options.keep) as scratch:
        image = cli.demo_image(options.source_dir, scratch.path)
        check_usage_errors(checks, binary, image, scratch.path)
        check_sizeless_sources(checks, binary, scratch.path)
        check_full_disk(checks, binary, image, scratch.path)
        check_folders(checks, binary, image, scratch.path)
        scratch.finish(not checks.failures)
    return checks.result()


if __name__ == "__main__":
    sys.exit(main())

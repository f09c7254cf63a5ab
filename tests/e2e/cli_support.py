"""Helpers of the end-to-end tests of the command line's behaviour: checks that collect failures,
runs of the real binary, the small images they use, and ways to catch a run in the middle.

The runs are caught without anything in the product that exists for tests: a scan is made long
by a sparse image of many GiB of zeros behind its mails, and a save run is frozen with SIGSTOP
once its first files are there, so that a signal sent then arrives while it writes.
"""

import os
import pathlib
import signal
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

# Long enough that no machine scans it before the test has sent its signal (minutes of zeros).
SPARSE_SIZE = 64 << 30
RUN_TIMEOUT = 120


class Checks:
    """Collects failed expectations with their context, printing each as it fails."""

    def __init__(self):
        self.failures = []

    def expect(self, condition, message):
        if not condition:
            self.failures.append(message)
            print(f"  FAIL {message}")
        return condition

    def result(self):
        if self.failures:
            print(f"FAILED: {len(self.failures)} problems")
            return support.FAIL
        print("PASSED")
        return support.PASS


def run(command, **options):
    """Runs a command with bytes output and a timeout, so that a hanging run fails the test."""
    options.setdefault("capture_output", True)
    options.setdefault("timeout", RUN_TIMEOUT)
    return subprocess.run([str(part) for part in command], **options)


def demo_mails(source_dir):
    return source_dir / "tools" / "demo-mails"


def demo_image(source_dir, folder, name="demo"):
    """The eight demo mails as deleted files: a small image every test can build."""
    image, _truth = support.build_image(source_dir, folder, name, "deleted",
                                        [demo_mails(source_dir)])
    return image


def many_mails_image(source_dir, folder, mails=1500):
    """`mails` mails in 32 MiB: a save run of it takes a while, and its listing fills a pipe."""
    image, _truth = support.build_image(source_dir, folder, "many", "bench",
                                        [demo_mails(source_dir)],
                                        extra=("--size", str(32 << 20), "--mails", str(mails)))
    return image


def sparse_copy(image, path):
    """`image` followed by zeros up to SPARSE_SIZE, without taking the space."""
    with open(image, "rb") as source, open(path, "wb") as target:
        target.write(source.read())
        target.truncate(SPARSE_SIZE)
    return path


def bytes_read(process):
    """Bytes the process has read so far (/proc/PID/io), or None where the system does not say."""
    try:
        with open(f"/proc/{process.pid}/io", encoding="ascii") as io:
            for line in io:
                if line.startswith("rchar:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def wait_until(condition, process, timeout=RUN_TIMEOUT):
    """Polls `condition()` until it holds; False when the process ended or time ran out first."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        if process.poll() is not None:
            return False
        time.sleep(0.002)
    return False


def wait_for_reading(process, count):
    """Waits until the process has read `count` bytes (or, without /proc, for two seconds)."""
    if bytes_read(process) is None:
        time.sleep(2)
        return process.poll() is None
    return wait_until(lambda: (bytes_read(process) or 0) >= count, process)


def signal_frozen(process, sent):
    """Freezes the process where it is, sends `sent`, and lets it go on: the signal arrives at
    whatever the process was doing at that moment."""
    process.send_signal(signal.SIGSTOP)
    process.send_signal(sent)
    process.send_signal(signal.SIGCONT)


def files_in(folder):
    folder = pathlib.Path(folder)
    return sorted(path.name for path in folder.iterdir()) if folder.is_dir() else []


def folder_bytes(folder):
    return {name: (pathlib.Path(folder) / name).read_bytes() for name in files_in(folder)}


def stopped_status(sent):
    return 128 + int(sent)


def kill_quietly(process):
    if process.poll() is None:
        process.kill()
        process.wait()


def remove_tree(path):
    for root, folders, files in os.walk(path, topdown=False):
        for name in files:
            os.unlink(os.path.join(root, name))
        for name in folders:
            os.rmdir(os.path.join(root, name))

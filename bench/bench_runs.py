"""Running the commands a benchmark compares: wall time, CPU time and peak RSS of each run taken
from the kernel's account of that one child (wait4), best of N rounds that run every command
once in turn, so that a noisy moment on a shared machine weighs on all of them alike."""

import dataclasses
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time


@dataclasses.dataclass
class Run:
    seconds: float
    cpu_seconds: float  # user + system
    peak_rss_kib: int
    returncode: int


@dataclasses.dataclass
class Best:
    seconds: float = float("inf")
    cpu_seconds: float = float("inf")  # the least of every run: less swayed by a loaded machine
    peak_rss_kib: int = 0  # the highest of every run
    runs: int = 0

    def add(self, run):
        self.seconds = min(self.seconds, run.seconds)
        self.cpu_seconds = min(self.cpu_seconds, run.cpu_seconds)
        self.peak_rss_kib = max(self.peak_rss_kib, run.peak_rss_kib)
        self.runs += 1


# GNU time forks the command from a process of its own, 1-2 MiB big. A command started straight
# from here would inherit this interpreter's peak RSS in its own figure: the kernel keeps the
# larger of the two across the exec.
TIME_BINARY = shutil.which("time", path="/usr/bin:/bin")


def run_measured(command, stdout_path=None, accepted=(0,)):
    """Runs `command` with its output going to `stdout_path` (or nowhere); exits the benchmark
    when it fails. The peak RSS is GNU time's figure, else (less exact) the kernel's for the
    child."""
    command = [str(part) for part in command]
    with open(stdout_path or os.devnull, "wb") as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile(mode="r", suffix=".rss") as rss:
        wrapped = [TIME_BINARY, "-o", rss.name, "-f", "%M", *command] if TIME_BINARY else command
        started = time.perf_counter()
        process = subprocess.Popen(wrapped, stdout=out, stderr=err)
        _pid, status, usage = os.wait4(process.pid, 0)
        seconds = time.perf_counter() - started
        process.returncode = os.waitstatus_to_exitcode(status)
        if process.returncode not in accepted:
            err.seek(0)
            message = err.read().decode(errors="replace")[-500:]
            sys.exit(f"{' '.join(command)} failed ({process.returncode}): {message}")
        peak_kib = usage.ru_maxrss
        if TIME_BINARY:
            lines = rss.read().split()
            peak_kib = int(lines[-1]) if lines and lines[-1].isdigit() else 0
    return Run(seconds, usage.ru_utime + usage.ru_stime, peak_kib, process.returncode)


def best_of_rounds(commands, repeat):
    """`commands`: label -> (command, stdout path or None, accepted exit codes). Each round runs
    every command once, starting one further along each time; returns label -> Best."""
    labels = list(commands)
    best = {label: Best() for label in labels}
    for round_number in range(repeat):
        turn = round_number % len(labels)
        for label in labels[turn:] + labels[:turn]:
            command, stdout_path, accepted = commands[label]
            best[label].add(run_measured(command, stdout_path, accepted))
    return best


def accepts_option(quillon, *option):
    """Whether `quillon scan` takes the option (a future one, say): a scan of 4 KiB of zeros
    with it succeeds."""
    with tempfile.TemporaryDirectory() as folder:
        probe = pathlib.Path(folder) / "zeros.img"
        probe.write_bytes(bytes(4096))
        completed = subprocess.run([str(quillon), "scan", str(probe), "--json", *option],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return completed.returncode == 0


def scratch_folder(size_hint=0):
    """A folder for outputs: in /dev/shm when it has room (writing there costs no disk time),
    else the system's temporary folder."""
    shm = pathlib.Path("/dev/shm")
    if shm.is_dir() and os.access(shm, os.W_OK):
        usage = os.statvfs(shm)
        if usage.f_bavail * usage.f_frsize > size_hint + (256 << 20):
            return tempfile.TemporaryDirectory(prefix="quillon-bench-", dir=shm)
    return tempfile.TemporaryDirectory(prefix="quillon-bench-")


def machine_load():
    """The load averages and the core count, for the figures' caption."""
    try:
        one, five, fifteen = os.getloadavg()
    except OSError:
        return "load unknown"
    return f"load {one:.2f} {five:.2f} {fifteen:.2f} on {os.cpu_count()} cores"

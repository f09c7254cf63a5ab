#!/usr/bin/env python3
"""Runs the real `quillon` on a failing medium: an image of our own (tools/quillon-mkimage)
whose reads fail on chosen sectors through a test-only preload library
(tests/support/failing_reads, built as lib/libquillon_failing_reads.so).

In both modes, with a lone bad sector and a pair in two long mails' bodies, a dead run of 300
sectors across a chunk boundary in a third, and bad sectors scattered elsewhere:
- the scan exits 0 and says on stderr how many sectors could not be read and which;
- every mail a scan of the sound image finds whose header block is readable is found again;
- the mails that hold a bad sector are marked damaged, and only mails that may hold one are;
- `quillon show` gives such a mail whole, zeros where the sector was, text behind it.
Then a dead region of 100,000 sectors: the reads it costs are counted by the library (about one
per sector, a few more to find its edges).

With --measure the figures for the note are taken instead: a 256 MiB image (bench layout, the
corpus when present) with 100 random unreadable sectors; how many mails with a readable header
block are found (of those a scan of the sound image finds), and the reads. --binary names
another quillon to measure (an older build, for figures to compare).
"""

import json
import os
import pathlib
import random
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

SECTOR = support.SECTOR_SIZE
CHUNK_SECTORS = 2048
DEAD_REGION = 100_000
MAX_LISTED = 10


def add_options(parser):
    parser.add_argument("--measure", action="store_true",
                        help="take the figures of the 256 MiB image instead of testing")
    parser.add_argument("--binary", type=pathlib.Path, help="the quillon to run")
    parser.add_argument("--seeds", default="1,2,3", help="--measure: bad-sector seeds")


class Failures:
    def __init__(self):
        self.items = []

    def expect(self, condition, message):
        if not condition:
            self.items.append(message)
            if len(self.items) <= MAX_LISTED:
                print(f"  FAIL {message}")
        return condition


def long_mail(name, body_bytes):
    """A mail of our own whose body runs over many sectors, its lines numbered."""
    head = (f"Received: from relay.example.org by mx.example.com; Tue, 2 Mar 2010 09:00:00 "
            f"+0000\r\n"
            f"Received: from desk.example.org by relay.example.org; Tue, 2 Mar 2010 08:59:58 "
            f"+0000\r\n"
            f"From: Long Writer <writer@example.org>\r\nTo: Reader <reader@example.com>\r\n"
            f"Subject: {name}\r\nDate: Tue, 2 Mar 2010 09:00:00 +0000\r\n"
            f"Message-ID: <{name}@example.org>\r\n\r\n")
    lines = []
    size = 0
    number = 0
    while size < body_bytes:
        line = f"{name} line {number:07d}: the quick brown fox jumps over the lazy dog\r\n"
        lines.append(line)
        size += len(line)
        number += 1
    return (head + "".join(lines)).encode("ascii")


def ranges_text(sectors):
    """"1000-1127, 5000" for sorted sector numbers, as quillon prints them."""
    parts = []
    run_start = previous = None
    for sector in sorted(set(sectors)):
        if previous is not None and sector == previous + 1:
            previous = sector
            continue
        if run_start is not None:
            parts.append(str(run_start) if run_start == previous else f"{run_start}-{previous}")
        run_start = previous = sector
    if run_start is not None:
        parts.append(str(run_start) if run_start == previous else f"{run_start}-{previous}")
    return ", ".join(parts)


def sectors_of(start, end):
    return range(start // SECTOR, (end + SECTOR - 1) // SECTOR)


def header_readable(mail, bad):
    if mail.get("header_end") is None:
        return False
    first = mail.get("header_start", mail["start"])
    return not any(sector in bad for sector in sectors_of(first, mail["header_end"] + 2))


class Shim:
    def __init__(self, library, image, count_file):
        self.library = library
        self.image = image
        self.count_file = count_file

    def environment(self, bad):
        env = dict(os.environ)
        env["LD_PRELOAD"] = str(self.library)
        env["QUILLON_FAIL_FILE"] = str(self.image)
        env["QUILLON_FAIL_SECTORS"] = ranges_text(bad).replace(" ", "")
        env["QUILLON_READ_COUNT_FILE"] = str(self.count_file)
        # A sanitized build wants its runtime first; the library is loaded before it.
        env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"),
                                                     "verify_asan_link_order=0"]))
        return env

    def reads(self):
        """Reads of the image the last run made, and how many failed."""
        lines = self.count_file.read_text().split("\n") if self.count_file.exists() else []
        values = [tuple(map(int, line.split())) for line in lines if line.strip()]
        self.count_file.unlink(missing_ok=True)
        return values[-1] if values else (0, 0)


def run(binary, arguments, env=None):
    return subprocess.run([str(binary), *map(str, arguments)], capture_output=True, env=env)


def records_of(completed):
    return [json.loads(line) for line in completed.stdout.splitlines() if line.strip()]


def mail_of(truth, record):
    """The truth mail whose text holds the record's position, or None."""
    at = support.position(record)
    for mail in truth["mails"]:
        if mail["start"] <= at < mail["end"]:
            return mail
    return None


def check_mode(binary, shim, image, truth, bad, strict, long_mails, failures):
    mode = ["--strict"] if strict else []
    name = "strict" if strict else "default"
    clean = run(binary, ["scan", image, "--json", *mode])
    failing = run(binary, ["scan", image, "--json", *mode], shim.environment(bad))
    reads, failed = shim.reads()
    found_clean = records_of(clean)
    found = records_of(failing)
    print(f"{name}: {len(found_clean)} mails on the sound image, {len(found)} with "
          f"{len(bad)} bad sectors; {reads} reads, {failed} failed")
    failures.expect(failing.returncode == 0,
                    f"{name}: exit status {failing.returncode}: {failing.stderr[-300:]!r}")
    summary = (f"quillon: {len(bad)} sectors could not be read and count as zeros: "
               f"{ranges_text(bad)}\n").encode()
    failures.expect(summary in failing.stderr, f"{name}: stderr lacks {summary[:120]!r}: "
                    f"{failing.stderr[:300]!r}")

    positions = {support.position(record): record for record in found}
    lost = [record for record in found_clean
            if (mail := mail_of(truth, record)) is not None and header_readable(mail, bad)
            and support.position(record) not in positions]
    failures.expect(not lost, f"{name}: {len(lost)} mails with readable headers lost, e.g. "
                    f"{[(r['sector'], r['offset'], r['subject']) for r in lost[:3]]}")

    starts = sorted(mail["start"] for mail in truth["mails"])
    for record in found:
        if not record.get("damaged"):
            continue
        at = support.position(record)
        following = [start for start in starts if start > at]
        reach = following[0] if following else truth["image_size"]
        first = min(at, (mail_of(truth, record) or {"start": at})["start"])
        failures.expect(any(sector in bad for sector in sectors_of(first, reach)),
                        f"{name}: mail {record['index']} marked damaged with no bad sector "
                        f"before the next mail")
    for mail, mail_bad in long_mails:
        record = next((r for r in found if mail["start"] <= support.position(r) < mail["end"]
                       and r.get("part_of") is None), None)
        if not failures.expect(record is not None,
                               f"{name}: {mail['file']} (bad sectors in its body) not found"):
            continue
        failures.expect(record.get("damaged") is True,
                        f"{name}: {mail['file']} not marked damaged: {record}")
        check_show(binary, shim, image, mail, mail_bad, bad, record, mode, name, failures)


def check_show(binary, shim, image, mail, mail_bad, bad, record, mode, name, failures):
    shown = run(binary, ["show", image, "--index", record["index"], *mode],
                shim.environment(bad))
    shim.reads()
    if not failures.expect(shown.returncode == 0,
                           f"{name}: show {mail['file']} exited {shown.returncode}"):
        return
    with open(image, "rb") as file:
        file.seek(mail["start"])
        text = bytearray(file.read(mail["end"] - mail["start"]))
    for sector in bad:  # the scattered ones may hit the mail too
        for at in range(sector * SECTOR, (sector + 1) * SECTOR):
            if mail["start"] <= at < mail["end"]:
                text[at - mail["start"]] = 0
    first_bad = min(mail_bad) * SECTOR - mail["start"]
    # From a little before the first bad sector to the mail's last byte, zeros included.
    tail = bytes(text[first_bad - 200:])
    failures.expect(tail in shown.stdout,
                    f"{name}: show {mail['file']} lacks its text behind the bad sectors "
                    f"({len(shown.stdout)} bytes shown, mail {len(text)})")


def dead_region_reads(binary, shim, image, sectors, failures):
    """Reads of a scan with DEAD_REGION sectors that fail, against a scan without."""
    first = 10_000
    bad = range(first, first + DEAD_REGION)
    env = shim.environment([])
    run(binary, ["scan", image, "--json"], env)
    clean_reads, _ = shim.reads()
    env = shim.environment(bad)
    completed = run(binary, ["scan", image, "--json"], env)
    reads, failed = shim.reads()
    print(f"dead region of {DEAD_REGION} sectors in {sectors}: {reads} reads, {failed} of them "
          f"failed ({failed - DEAD_REGION} beyond one per failing sector), {reads - failed} "
          f"succeeded; the sound image takes {clean_reads}")
    failures.expect(completed.returncode == 0, f"dead region: exit status {completed.returncode}")
    failures.expect(failed <= DEAD_REGION + 100,
                    f"dead region: {failed} failed reads for {DEAD_REGION} failing sectors")
    failures.expect(reads - failed <= clean_reads + 50,
                    f"dead region: {reads - failed} reads that succeeded, {clean_reads} without")


def test(options, binary, shim_library):
    failures = Failures()
    corpus = support.corpus_dir(options.source_dir)
    with support.ScratchDir(options.build_dir, "failing-media", options.keep) as scratch:
        own = scratch.path / "mails"
        own.mkdir()
        sizes = {"lone-bad-sector": 30_000, "two-bad-sectors": 200_000,
                 "dead-run-across-a-chunk": 1_500_000}
        for name, size in sizes.items():
            (own / f"{name}.eml").write_bytes(long_mail(name, size))
        inputs = [options.source_dir / "tools" / "demo-mails", own]
        if corpus is not None:
            inputs += support.mail_files(corpus)[::12]
        image, truth = support.build_image(options.source_dir, scratch.path, "failing",
                                           "deleted", inputs, seed=11,
                                           extra=("--size", str(64 << 20)))
        sectors = truth["image_size"] // SECTOR
        by_file = {mail["file"]: mail for mail in truth["mails"]}

        bad = set()
        long_mails = []
        for name in sizes:
            mail = by_file[f"{name}.eml"]
            body_first = (mail["header_end"] + 2) // SECTOR + 2
            body_last = mail["end"] // SECTOR - 2
            if name == "lone-bad-sector":
                mail_bad = {body_first + 5}
            elif name == "two-bad-sectors":
                mail_bad = {body_first + 100, body_first + 101}
            else:
                boundary = (body_first // CHUNK_SECTORS + 1) * CHUNK_SECTORS
                mail_bad = set(range(boundary - 150, boundary + 150))
            if not all(body_first <= sector <= body_last for sector in mail_bad):
                failures.expect(False, f"the image does not give {name} the body it needs")
                continue
            bad |= mail_bad
            long_mails.append((mail, mail_bad))
        # Scattered ones, none in a header block (those mails cannot be found).
        headers = set()
        for mail in truth["mails"]:
            if mail.get("header_end") is not None:
                headers.update(sectors_of(mail.get("header_start", mail["start"]),
                                          mail["header_end"] + 2))
        chooser = random.Random(5)
        while len(bad) < len(set().union(*(b for _m, b in long_mails))) + 40:
            sector = chooser.randrange(sectors)
            if sector not in headers:
                bad.add(sector)

        shim = Shim(shim_library, image, scratch.path / "reads.txt")
        for strict in (False, True):
            check_mode(binary, shim, image, truth, sorted(bad), strict, long_mails, failures)
        dead_region_reads(binary, shim, image, sectors, failures)
        scratch.finish(not failures.items)
    if failures.items:
        print(f"FAILED: {len(failures.items)} checks")
        return support.FAIL
    print("PASSED")
    return support.PASS


def measure(options, binary, shim_library):
    """The note's figures: found mails with readable headers before and after, and reads."""
    corpus = support.corpus_dir(options.source_dir)
    inputs = [corpus] if corpus is not None else [options.source_dir / "tools" / "demo-mails"]
    with support.ScratchDir(options.build_dir, "failing-media-measure", options.keep) as scratch:
        image, truth = support.build_image(options.source_dir, scratch.path, "bench", "bench",
                                           inputs, seed=12, extra=("--size", str(256 << 20)))
        sectors = truth["image_size"] // SECTOR
        shim = Shim(shim_library, image, scratch.path / "reads.txt")
        for strict in (False, True):
            mode = ["--strict"] if strict else []
            clean = run(binary, ["scan", image, "--json", *mode], shim.environment([]))
            clean_reads, _ = shim.reads()
            clean_positions = {support.position(r) for r in records_of(clean)}
            for seed in map(int, options.seeds.split(",")):
                bad = set(random.Random(seed).sample(range(sectors), 100))
                failing = run(binary, ["scan", image, "--json", *mode], shim.environment(bad))
                reads, failed = shim.reads()
                found = {support.position(r) for r in records_of(failing)}
                targets = [m for m in truth["mails"] if header_readable(m, bad)]
                sound = [m for m in targets
                         if right_positions(truth, m) & clean_positions]
                again = [m for m in sound if right_positions(truth, m) & found]
                damaged = sum(1 for r in records_of(failing) if r.get("damaged"))
                print(f"{'strict' if strict else 'default'} seed {seed}: {len(again)} of "
                      f"{len(sound)} mails with a readable header block found again "
                      f"({100 * len(again) / max(1, len(sound)):.2f} %; {len(targets)} such "
                      f"mails in the image); {damaged} marked damaged; {reads} reads "
                      f"({failed} failed), {clean_reads} on the sound image")
        scratch.finish(True)
    return support.PASS


def right_positions(truth, mail):
    positions = {mail["start"], mail.get("header_start", mail["start"])}
    if mail.get("trace_offset") is not None:
        positions.update(support.expected_positions(truth, mail))
    return positions


def main(argv=None):
    options = support.parse_arguments(__doc__.splitlines()[0], argv, add_options)
    binary = options.binary or options.build_dir / "bin" / "quillon"
    shim_library = options.build_dir / "lib" / "libquillon_failing_reads.so"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")
    if not shim_library.exists():
        support.skip(f"{shim_library} does not exist (build quillon_failing_reads first)")
    return measure(options, binary, shim_library) if options.measure else \
        test(options, binary, shim_library)


if __name__ == "__main__":
    sys.exit(main())

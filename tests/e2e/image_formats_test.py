#!/usr/bin/env python3
"""Scans one disk image in every container an examiner keeps evidence in, made here with the
system's tools, and holds each scan against the scan of the raw image:

- E01 in several segments (ewfacquire), split raw as NAME.001..., NAME.000... and NAMEaa...
  (split), VMDK sparse and flat and VHD dynamic and fixed (qemu-img): `quillon scan --json`
  prints the very records of the raw image;
- `--hash` prints the SHA-256 and MD5 of the raw image's bytes whatever the container, and
  for the E01 "stored md5 ... verified";
- a truncated E01 segment, a missing segment, a VMDK whose descriptor names a missing extent
  and a missing split piece fail with exit status 1 and a message naming the file;
- an E01 chunk whose checksum fails reads as unreadable sectors, as on a failing disk: the scan
  goes on, says which sectors count as zeros, finds the same mails and marks the mail in that
  chunk damaged.

The image is the `mixed` layout of the image builder (deleted mails, stores, mbox files) from
the corpus, or from tools/demo-mails where the corpus is absent, padded to whole sectors.
A part whose tool is absent is skipped and named; the test then ends as skipped.
"""

import hashlib
import json
import os
import pathlib
import random
import shutil
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

SEGMENT_BYTES = 1 << 20  # the smallest segment ewfacquire writes
PIECE_BYTES = 3 << 20


def run(command):
    return subprocess.run([str(part) for part in command], capture_output=True)


class Check:
    def __init__(self, binary, raw_records):
        self.binary = binary
        self.raw_records = raw_records
        self.failures = []
        self.passed = []

    def same_records(self, label, image):
        completed = run([self.binary, "scan", image, "--json"])
        if completed.returncode != 0:
            self.failures.append(f"{label}: scan exited with {completed.returncode}: "
                                 f"{completed.stderr.decode(errors='replace')[-500:]}")
        elif completed.stdout != self.raw_records:
            got, expected = len(completed.stdout.splitlines()), len(self.raw_records.splitlines())
            self.failures.append(f"{label}: records differ from the raw image's "
                                 f"({got} lines against {expected})")
        else:
            self.passed.append(label)

    def hashes(self, label, image, expected_lines):
        completed = run([self.binary, "scan", image, "--hash"])
        lines = completed.stderr.decode(errors="replace").splitlines()
        missing = [line for line in expected_lines if line not in lines]
        if completed.returncode != 0 or missing:
            self.failures.append(f"{label}: --hash printed {lines!r}, missing {missing!r}")
        else:
            self.passed.append(label)

    def refused(self, label, image, message):
        completed = run([self.binary, "scan", image])
        error = completed.stderr.decode(errors="replace")
        if completed.returncode != 1 or message not in error:
            self.failures.append(f"{label}: exit {completed.returncode}, stderr {error!r}; "
                                 f"expected a message holding {message!r}")
        else:
            self.passed.append(label)


def long_mails(folder, count=4):
    """Mails longer than an E01 chunk, so that a chunk can fail behind a mail's header block."""
    made = folder / "long-mails"
    made.mkdir()
    for n in range(count):
        lines = "".join(f"Line {i} of a long report, number {n}, kept for the record.\r\n"
                        for i in range(1500))
        (made / f"long-{n}.eml").write_bytes(
            (f"Received: from relay{n}.example.net by mx.example.org; "
             f"Mon, {n + 1} Feb 2010 10:00:00 +0000\r\n"
             f"From: Reporter {n} <reporter{n}@example.net>\r\nTo: desk@example.org\r\n"
             f"Subject: Long report {n}\r\nDate: Mon, {n + 1} Feb 2010 10:00:00 +0000\r\n"
             f"Message-ID: <long-{n}@example.net>\r\n\r\n{lines}").encode())
    return made


def build_raw(options, folder):
    corpus = support.corpus_dir(options.source_dir)
    inputs = [corpus] if corpus else [options.source_dir / "tools" / "demo-mails"]
    image, _truth = support.build_image(options.source_dir, folder, "disk", "mixed",
                                        [*inputs, long_mails(folder)], seed=11)
    # Whole sectors, and enough bytes for several E01 segments and three split pieces also
    # without the corpus: random bytes, which no compression makes smaller.
    size = image.stat().st_size
    wanted = max(size + (-size % support.SECTOR_SIZE), 2 * PIECE_BYTES + 2 * SEGMENT_BYTES)
    with open(image, "ab") as file:
        file.write(b"\0" * (-size % support.SECTOR_SIZE))
        file.write(random.Random(11).randbytes(wanted - size - (-size % support.SECTOR_SIZE)))
    return image


def check_ewf(check, raw, folder, digests):
    target = folder / "ewf"
    target.mkdir()
    made = run(["ewfacquire", "-u", "-q", "-c", "fast", "-S", f"{SEGMENT_BYTES}", "-t",
                target / "disk", raw])
    segments = sorted(target.glob("disk.E*"))
    if made.returncode != 0 or len(segments) < 3:
        check.failures.append(f"ewfacquire made {len(segments)} segments: "
                              f"{made.stderr.decode(errors='replace')[-300:]}")
        return
    check.same_records(f"E01 in {len(segments)} segments", segments[0])
    check.hashes("E01 --hash", segments[0], [f"sha256 {digests['sha256']}",
                                             f"md5 {digests['md5']}",
                                             f"stored md5 {digests['md5']} verified"])

    cut = folder / "ewf-cut"
    shutil.copytree(target, cut)
    os.truncate(cut / "disk.E02", SEGMENT_BYTES // 3)
    check.refused("truncated E01 segment", cut / "disk.E01", "segment disk.E02 is truncated")

    gap = folder / "ewf-gap"
    shutil.copytree(target, gap)
    (gap / "disk.E02").unlink()
    check.refused("missing E01 segment", gap / "disk.E01", "segment disk.E02 is missing")

    check_ewf_checksum_error(check, raw, folder)


def check_ewf_checksum_error(check, raw, folder):
    """Spoils one byte of a long mail inside an uncompressed E01, whose chunks hold the disk's
    bytes as they are, so that a chunk of the mail's body fails its checksum."""
    label = "E01 chunk with a checksum error"
    chunk = 64 * support.SECTOR_SIZE  # ewfacquire's default
    target = folder / "ewf-spoilt"
    target.mkdir()
    made = run(["ewfacquire", "-u", "-q", "-c", "none", "-S", f"{SEGMENT_BYTES}", "-t",
                target / "disk", raw])
    if made.returncode != 0:
        check.failures.append(f"{label}: ewfacquire -c none failed")
        return
    with open(raw.with_suffix(".truth.json"), encoding="utf-8") as file:
        mails = json.load(file)["mails"]
    raw_bytes = raw.read_bytes()
    segments = sorted(target.glob("disk.E*"))

    def spoil(mail):
        # A chunk wholly inside the mail's body: no other mail's bytes can lie in it.
        first = (mail["header_end"] // chunk + 1) * chunk
        probe = raw_bytes[first + 64:first + 128]
        if first + chunk > mail["end"] or raw_bytes.count(probe) != 1:
            return False
        for segment in segments:
            data = bytearray(segment.read_bytes())
            where = data.find(probe)
            if where >= 0:
                data[where + 32] ^= 0x5A
                segment.write_bytes(bytes(data))
                return True
        return False

    spoilt_mail = next((mail for mail in mails
                        if not mail["place"].startswith("store") and spoil(mail)), None)
    if spoilt_mail is None:
        check.failures.append(f"{label}: no mail holds a whole chunk of body")
        return
    records = [json.loads(line) for line in check.raw_records.splitlines()]
    completed = run([check.binary, "scan", segments[0], "--json"])
    error = completed.stderr.decode(errors="replace")
    found = [json.loads(line) for line in completed.stdout.splitlines()]
    damaged = [(r["sector"], r["offset"]) for r in found if r["damaged"]]
    starts = [r["sector"] * support.SECTOR_SIZE + r["offset"] for r in found if r["damaged"]]
    same_mails = [{**r, "damaged": False} for r in found] == records
    other = next((r for r in found if {**r, "damaged": False} not in records), None)
    if (completed.returncode != 0 or "could not be read and count as zeros" not in error or
            not same_mails or not damaged or
            not all(spoilt_mail["start"] <= at < spoilt_mail["end"] for at in starts)):
        check.failures.append(f"{label}: exit {completed.returncode}, stderr {error[-300:]!r}, "
                              f"{len(found)} records against {len(records)}, "
                              f"same mails {same_mails} (first other: {other}), "
                              f"damaged {damaged}, spoilt mail "
                              f"{spoilt_mail['start']}-{spoilt_mail['end']}")
    else:
        check.passed.append(label)


def check_split(check, raw, folder, digests):
    for label, arguments, first in (
            ("split raw .001", ["--numeric-suffixes=1", "-a", "3"], "disk.img.001"),
            ("split raw .000", ["--numeric-suffixes=0", "-a", "3"], "disk.img.000"),
            ("split raw aa", [], "disk.img.aa")):
        target = folder / label.replace(" ", "-")
        target.mkdir()
        made = run(["split", "-b", str(PIECE_BYTES), *arguments, raw, target / "disk.img."])
        if made.returncode != 0:
            check.failures.append(f"{label}: split failed: {made.stderr!r}")
            continue
        check.same_records(f"{label} ({len(list(target.iterdir()))} pieces)", target / first)
    pieces = folder / "split-raw-.001"
    check.hashes("split raw --hash", pieces / "disk.img.001",
                 [f"sha256 {digests['sha256']}", f"md5 {digests['md5']}"])
    gap = folder / "split-gap"
    shutil.copytree(pieces, gap)
    if len(list(gap.iterdir())) < 3:
        check.failures.append("the image is too small for three split pieces")
        return
    (gap / "disk.img.002").unlink()
    check.refused("missing split piece", gap / "disk.img.001",
                  "piece disk.img.002 of the split image is missing")


def check_virtual_disks(check, raw, folder, digests):
    for label, format_name, settings, name in (
            ("VMDK sparse", "vmdk", "", "sparse.vmdk"),
            ("VMDK flat", "vmdk", "subformat=monolithicFlat", "flat.vmdk"),
            ("VHD dynamic", "vpc", "force_size=on", "dynamic.vhd"),
            ("VHD fixed", "vpc", "subformat=fixed,force_size=on", "fixed.vhd")):
        command = ["qemu-img", "convert", "-f", "raw", "-O", format_name, raw, folder / name]
        if settings:
            command[-2:-2] = ["-o", settings]
        made = run(command)
        if made.returncode != 0:
            check.failures.append(f"{label}: qemu-img failed: {made.stderr!r}")
            continue
        check.same_records(label, folder / name)
    check.hashes("VHD --hash", folder / "dynamic.vhd", [f"sha256 {digests['sha256']}"])
    gap = folder / "vmdk-gap"
    gap.mkdir()
    shutil.copy(folder / "flat.vmdk", gap / "flat.vmdk")
    check.refused("VMDK with a missing extent", gap / "flat.vmdk",
                  "its descriptor names the extent \"flat-flat.vmdk\", which is missing")


def main():
    options = support.parse_arguments(__doc__)
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")
    tools = {"ewfacquire": "ewf-tools", "qemu-img": "qemu-utils", "split": "coreutils"}
    absent = [f"{tool} (Debian package {package})" for tool, package in tools.items()
              if shutil.which(tool) is None]

    with support.ScratchDir(options.build_dir, "image-formats", options.keep) as scratch:
        raw = build_raw(options, scratch.path)
        raw_bytes = raw.read_bytes()
        digests = {"sha256": hashlib.sha256(raw_bytes).hexdigest(),
                   "md5": hashlib.md5(raw_bytes).hexdigest()}
        scanned = run([binary, "scan", raw, "--json"])
        if scanned.returncode != 0 or not scanned.stdout:
            print(f"FAILED: the raw image does not scan: {scanned.stderr!r}")
            return support.FAIL
        check = Check(binary, scanned.stdout)
        check.hashes("raw --hash", raw, [f"sha256 {digests['sha256']}", f"md5 {digests['md5']}"])
        if shutil.which("ewfacquire"):
            check_ewf(check, raw, scratch.path, digests)
        if shutil.which("split"):
            check_split(check, raw, scratch.path, digests)
        if shutil.which("qemu-img"):
            check_virtual_disks(check, raw, scratch.path, digests)
        scratch.finish(not check.failures)

    records = len(scanned.stdout.splitlines())
    print(f"raw image: {len(raw_bytes)} bytes, {records} records")
    for label in check.passed:
        print(f"  ok  {label}")
    for failure in check.failures:
        print(f"  FAILED  {failure[:600]}")
    if check.failures:
        return support.FAIL
    if absent:
        print(f"SKIPPED in part: {', '.join(absent)} not found; "
              f"scripts/install-deps.sh installs them")
        return support.SKIP
    return support.PASS


if __name__ == "__main__":
    sys.exit(main())

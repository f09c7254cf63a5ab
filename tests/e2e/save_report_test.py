#!/usr/bin/env python3
"""`quillon save --report` on images of our own: the real binary writes report.xml (DFXML) and
report.csv beside "Mail Box", read back here with Python's own `xml.etree` and `csv`.

For each case (a plain layout, a store with its blocks shuffled, the same in --strict mode, a
layout with copies saved with --skip-duplicates, and a failing medium whose bad sectors lie in
mails' bodies):
- every fileobject's byte runs, taken from the image in order (a fill run as its byte repeated),
  give the saved file's bytes exactly; its filesize and sha256 are the file's;
- report.csv has one row per mail the scan finds, saved or not; the rows of saved mails name
  their file and its sha256, those of unsaved duplicates name none;
- with --hash the source's digests are the image's;
- a second run into the same folder writes report_1.xml and report_1.csv and leaves the first
  pair as it was.
"""

import csv
import hashlib
import json
import os
import pathlib
import subprocess
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402
import failing_media_test as failing_media  # noqa: E402

DFXML = "{http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML}"
MAIL = "{urn:quillon:mail:1}"
SECTOR = support.SECTOR_SIZE


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, condition, message):
        if not condition:
            self.failures.append(message)
            if len(self.failures) <= 10:
                print(f"  FAIL {message}")
        return condition


def run(binary, arguments, env=None):
    return subprocess.run([str(binary), *map(str, arguments)], capture_output=True, env=env)


def bytes_of_runs(image_bytes, fileobject):
    data = bytearray()
    for run in fileobject.findall(f"{DFXML}byte_runs/{DFXML}byte_run"):
        length = int(run.get("len"))
        if int(run.get("file_offset")) != len(data):
            return None
        if run.get("fill") is not None:
            data += bytes([int(run.get("fill"))]) * length
        else:
            start = int(run.get("img_offset"))
            data += image_bytes[start:start + length]
    return bytes(data)


def check_report(checks, label, image, out, found, report_name="report", hashed=False,
                 skip_duplicates=False):
    image_bytes = image.read_bytes()
    tree = ET.parse(out / f"{report_name}.xml")
    root = tree.getroot()
    objects = root.findall(f"{DFXML}fileobject")
    saved = sorted(p.relative_to(out).as_posix() for p in (out / "Mail Box").iterdir())
    checks.expect(sorted(o.findtext(f"{DFXML}filename") for o in objects) == saved,
                  f"{label}: fileobjects {len(objects)} against {len(saved)} saved files")
    multi_run = 0
    fills = 0
    for fileobject in objects:
        name = fileobject.findtext(f"{DFXML}filename")
        path = out / name
        if not path.is_file():
            continue
        content = path.read_bytes()
        digest = hashlib.sha256(content).hexdigest()
        checks.expect(fileobject.findtext(f"{DFXML}hashdigest") == digest,
                      f"{label}: {name}: sha256 differs from the file's")
        checks.expect(int(fileobject.findtext(f"{DFXML}filesize")) == len(content),
                      f"{label}: {name}: filesize differs from the file's")
        runs = fileobject.findall(f"{DFXML}byte_runs/{DFXML}byte_run")
        multi_run += len([r for r in runs if r.get("fill") is None]) > 1
        fills += sum(1 for r in runs if r.get("fill") == "0")
        checks.expect(bytes_of_runs(image_bytes, fileobject) == content,
                      f"{label}: {name}: its byte runs do not give its bytes back")
    if hashed:
        hashes = {h.get("type"): h.text for h in root.findall(f"{DFXML}source/{DFXML}hashdigest")}
        checks.expect(hashes.get("sha256") == hashlib.sha256(image_bytes).hexdigest() and
                      hashes.get("md5") == hashlib.md5(image_bytes).hexdigest(),
                      f"{label}: the source's digests are not the image's: {hashes}")
    with open(out / f"{report_name}.csv", newline="", encoding="utf-8") as file:
        rows = list(csv.DictReader(file))
    checks.expect(len(rows) == len(found),
                  f"{label}: {len(rows)} csv rows for {len(found)} found mails")
    for row, record in zip(rows, found):
        where = f"{label}: row {row['index']}"
        checks.expect(int(row["sector"]) == record["sector"] and
                      int(row["offset"]) == record["offset"],
                      f"{where}: place differs from the scan's")
        duplicate = record.get("duplicate_of") is not None
        checks.expect(row["duplicate_of"] == (str(record["duplicate_of"]) if duplicate else ""),
                      f"{where}: duplicate_of {row['duplicate_of']!r}")
        if skip_duplicates and duplicate:
            checks.expect(row["file"] == "" and row["sha256"] == "",
                          f"{where}: an unsaved duplicate names a file")
            continue
        path = out / row["file"]
        checks.expect(row["file"] != "" and path.is_file() and
                      hashlib.sha256(path.read_bytes()).hexdigest() == row["sha256"],
                      f"{where}: file {row['file']!r} missing or its sha256 differs")
    return multi_run, fills


def scan_records(binary, image, extra=(), env=None):
    completed = run(binary, ["scan", image, "--json", *extra], env)
    return [json.loads(line) for line in completed.stdout.splitlines() if line.strip()]


def case(checks, binary, label, image, out, extra=(), env=None, **options):
    found = scan_records(binary, image, [e for e in extra if e == "--strict"], env)
    completed = run(binary, ["save", image, "--out", out, "--report", *extra], env)
    checks.expect(completed.returncode == 0,
                  f"{label}: save exit {completed.returncode}: {completed.stderr[-300:]!r}")
    checks.expect(len(found) > 0, f"{label}: the scan found nothing")
    return check_report(checks, label, image, out, found, **options)


def test(options, binary):
    checks = Checks()
    demo = options.source_dir / "tools" / "demo-mails"
    corpus = support.corpus_dir(options.source_dir)
    inputs = [demo] + (support.mail_files(corpus)[::25] if corpus else [])
    with support.ScratchDir(options.build_dir, "save-report", options.keep) as scratch:
        work = scratch.path
        plain, _ = support.build_image(options.source_dir, work, "plain", "deleted", inputs,
                                       seed=3, shift=77)
        store, _ = support.build_image(options.source_dir, work, "store", "dbx", inputs, seed=5,
                                       extra=("--fragment",))
        copies, _ = support.build_image(options.source_dir, work, "copies", "copies", [demo],
                                        seed=2)
        case(checks, binary, "plain", plain, work / "plain-out", ["--hash"], hashed=True)
        multi, _ = case(checks, binary, "store", store, work / "store-out")
        checks.expect(multi > 0, "store: no mail was read from several store blocks")
        case(checks, binary, "store --strict", store, work / "store-strict", ["--strict"])
        case(checks, binary, "plain --strict", plain, work / "plain-strict", ["--strict"])
        case(checks, binary, "copies", copies, work / "copies-out", ["--skip-duplicates"],
             skip_duplicates=True)

        # A second run into the same folder: a new pair, the first one untouched.
        first = (work / "plain-out" / "report.xml").read_bytes()
        completed = run(binary, ["save", plain, "--out", work / "plain-out", "--report"])
        checks.expect(completed.returncode == 0 and
                      (work / "plain-out" / "report_1.xml").is_file() and
                      (work / "plain-out" / "report_1.csv").is_file() and
                      (work / "plain-out" / "report.xml").read_bytes() == first,
                      "second run: report_1.xml and report_1.csv not written beside the first")
        found = scan_records(binary, plain)
        check_report(checks, "second run", plain, work / "plain-out", found, "report_1")

        failing(checks, options, binary, work, demo)
        scratch.finish(not checks.failures)
    if checks.failures:
        print(f"FAILED: {len(checks.failures)} checks")
        return support.FAIL
    print("PASSED")
    return support.PASS


def failing(checks, options, binary, work, demo):
    """Bad sectors in the bodies of long mails: fill runs of zeros where they lie."""
    shim = options.build_dir / "lib" / "libquillon_failing_reads.so"
    if not shim.exists():
        print(f"  (failing medium skipped: {shim} not built)")
        return
    own = work / "long"
    own.mkdir()
    (own / "long.eml").write_bytes(failing_media.long_mail("long", 200_000))
    image, truth = support.build_image(options.source_dir, work, "failing", "deleted",
                                       [demo, own], seed=11)
    mail = next(m for m in truth["mails"] if m["file"] == "long.eml")
    bad = (mail["header_end"] + 2) // SECTOR + 20
    env = dict(os.environ)
    env["LD_PRELOAD"] = str(shim)
    env["QUILLON_FAIL_FILE"] = str(image)
    env["QUILLON_FAIL_SECTORS"] = f"{bad}-{bad + 1}"
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"),
                                                 "verify_asan_link_order=0"]))
    for extra in ([], ["--strict"]):
        label = "failing " + " ".join(extra)
        _, fills = case(checks, binary, label, image, work / f"failing-out{len(extra)}", extra,
                        env)
        checks.expect(fills > 0, f"{label}: no fill run for the bad sectors")


def main(argv=None):
    options = support.parse_arguments(__doc__.splitlines()[0], argv)
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")
    return test(options, binary)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The modification time of every file `quillon save` writes is the mail's Date: with its zone,
UTC where it names none, left alone (the time of writing) where it does not parse. Checked on an
image of our own with the demo mails and mails whose dates test the rules, as .eml and as .txt
(whose Date line holds the date as found mails carry it, without its zone: read as UTC).
"""

import calendar
import email.utils
import pathlib
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402


def own_mail(name, date):
    return (f"Received: from a.example.org by b.example.org; Mon, 1 Feb 2010 10:00:00 +0000\r\n"
            f"From: Dater <dater@example.org>\r\nTo: you@example.com\r\nSubject: {name}\r\n"
            f"Date: {date}\r\nMessage-ID: <{name}@example.org>\r\n\r\nText of {name}.\r\n"
            ).encode()


# Subject -> (Date header, the moment the .eml file must carry; None: left alone).
DATES = {
    "east-of-utc": ("Mon, 9 Mar 2009 18:11:12 +0800", calendar.timegm((2009, 3, 9, 10, 11, 12))),
    "west-of-utc": ("Mon, 9 Mar 2009 06:41:12 -0330", calendar.timegm((2009, 3, 9, 10, 11, 12))),
    "no-zone": ("Tue, 10 Mar 2009 10:11:12", calendar.timegm((2009, 3, 10, 10, 11, 12))),
    "no-date": ("sometime last week", None),
}


def header_date(data):
    block = data.split(b"\r\n\r\n", 1)[0].decode("latin-1")
    for line in block.replace("\r\n\t", " ").replace("\r\n ", " ").split("\r\n"):
        if line.lower().startswith("date:"):
            return line[5:].strip()
    return None


def test(options, binary):
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)
            print(f"  FAIL {message}")

    with support.ScratchDir(options.build_dir, "save-file-time", options.keep) as scratch:
        work = scratch.path
        own = work / "own"
        own.mkdir()
        for name, (date, _moment) in DATES.items():
            (own / f"{name}.eml").write_bytes(own_mail(name, date))
        image, _ = support.build_image(options.source_dir, work, "times", "deleted",
                                       [options.source_dir / "tools" / "demo-mails", own], seed=8)
        started = time.time() - 5
        for form in ("eml", "txt"):
            out = work / form
            subprocess.run([binary, "save", image, "--out", out, "--format", form],
                           capture_output=True, check=True)
            files = sorted((out / "Mail Box").iterdir())
            expect(len(files) == 8 + len(DATES), f"{form}: {len(files)} files")
            for path in files:
                data = path.read_bytes()
                mtime = int(path.stat().st_mtime)
                subject = next((n for n in DATES if f"Text of {n}.".encode() in data), None)
                if subject is not None and form == "eml":
                    expected = DATES[subject][1]
                elif form == "eml":
                    parsed = email.utils.parsedate_tz(header_date(data))
                    expected = email.utils.mktime_tz(parsed) if parsed else None
                else:
                    # "Date: 2009-03-09 10:11:12", the zone not kept: UTC.
                    line = data.split(b"\r\n")[3].decode("latin-1")[6:]
                    try:
                        expected = calendar.timegm(time.strptime(line, "%Y-%m-%d %H:%M:%S"))
                    except ValueError:
                        expected = None
                if expected is None:
                    expect(mtime >= started, f"{form}: {path.name}: an unparsed date set {mtime}")
                else:
                    expect(mtime == expected, f"{form}: {path.name}: mtime {mtime}, not {expected}")
        scratch.finish(not failures)
    print("PASSED" if not failures else f"FAILED: {len(failures)} checks")
    return support.PASS if not failures else support.FAIL


def main(argv=None):
    options = support.parse_arguments(__doc__.splitlines()[0], argv)
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")
    return test(options, binary)


if __name__ == "__main__":
    sys.exit(main())

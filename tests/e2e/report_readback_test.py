#!/usr/bin/env python3
"""Reads the report writers' files back with readers of Python's own: report.csv with `csv`,
report.xml with `xml.etree`, the mailbox with `mailbox.mbox`. The records hold what carved
mail may hold: markup, quotes, commas, line breaks, control bytes, invalid UTF-8, formulas.

The files are written by build/bin/quillon_report_writer_probe from records this script
hands it (every value in hex, so that any byte passes).
"""

import csv
import mailbox
import re
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

import e2e_support as support

DFXML = "{http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML}"
MAIL = "{urn:quillon:mail:1}"
HEADER = ["index", "file", "sector", "offset", "bytes", "found_by", "duplicate_of", "part_of",
          "damaged", "date", "from", "to", "subject", "message_id", "attachments", "sha256"]
TEXT_FIELDS = ("file", "date", "from", "to", "subject", "message_id", "attachments")
SCAN_TIME = 1700000000

HOSTILE_SUBJECTS = [
    b"Plain subject",
    b'<script>alert("x")</script> & co, "quoted", \'single\'',
    b"line one\r\nline two\nline three\rfour",
    b"carriage\rreturn only",
    b"caf\xe9 \xe2\x82 \xff\xfe cut \xf0\x9f\x93",
    b"nul\x00 bell\x07 escape\x1b del\x7f",
    b'=HYPERLINK("http://example.invalid","click")',
    b"+1", b"-2 minus", b"@SUM(A1)", b"\tTabbed",
    "\U0001F4E7 \u2709 \u65e5\u672c\u8a9e \ufeff bom".encode(),
    b"]]> &amp; &#x41; <![CDATA[x]]>",
    b"",
]


def mail_records():
    mails = []
    for number, subject in enumerate(HOSTILE_SUBJECTS, 1):
        saved = number % 4 != 0
        mail = {
            "index": str(number).encode(),
            "file": (f"Mail Box/{number:03} " .encode() + subject[:20].replace(b"/", b"_") +
                     b".eml") if saved else b"",
            "sector": str(5_000_000_000 + number).encode(),
            "offset": str(number * 7 % 512).encode(),
            "bytes": str(1000 + number).encode(),
            "found_by": b"trace" if number % 2 else b"shape",
            "damaged": b"yes" if number == 3 else b"no",
            "date": b"2001-02-03 04:05:06",
            "from": b'"Ann, the <boss>" <ann@example.com>',
            "to": b"bob@example.com,\r\n\tcy@example.com",
            "subject": subject,
            "message_id": b"<id" + str(number).encode() + b"@example.com>",
            "attachments": [b"report, final.pdf", b'say "hi".txt', b"two\r\nlines.txt",
                            subject],
            "file_size": str(1536 + number).encode() if saved else b"0",
            "sha256": (b"%064x" % number) if saved else b"",
            "runs": [b"0:%d:512" % (number * 4096), b"512:fill:512",
                     b"1024:%d:512" % (number * 4096 + 8192)] if saved else [],
        }
        if number == 5:
            mail["duplicate_of"] = b"2"
        if number == 6:
            mail["part_of"] = b"1"
        mails.append(mail)
    return mails


MESSAGES = [
    # bytes, sender header value, date, expected From_ line
    (b"Subject: one\r\n\r\nFrom the start of a line\r\n>From quoted\r\n>>From twice\r\n"
     b"a From inside\r\n", b"Ann <ann@example.com>", b"2009-03-09 10:11:12",
     "ann@example.com Mon Mar  9 10:11:12 2009"),
    (b"Subject: two\r\n\r\nno line break at the end", b"bob@example.com", b"2000-02-29 00:00:00",
     "bob@example.com Tue Feb 29 00:00:00 2000"),
    (b"Subject: three\r\n\r\n\x00\x01\xff binary \xe9\r\nFrom \xff\r\n", b"Nobody", b"",
     "MAILER-DAEMON " + time.asctime(time.gmtime(SCAN_TIME))),
    (b"From someone@example.com Sat Jan  1 00:00:00 2000\r\nSubject: four\r\n\r\nbody\r\n",
     b"<>", b"Mon, 9 Mar 2009 10:11:12 +0800",
     "MAILER-DAEMON " + time.asctime(time.gmtime(SCAN_TIME))),
]


def write_input(path):
    lines = []

    def put(key, value=b""):
        lines.append(f"{key} {value.hex()}")

    put("creator.version", b"1.7")
    put("creator.command_line", b"quillon save 'disk & co.E01' --out \"x<y\" --report")
    put("creator.start_time", b"2024-05-01T10:00:00Z")
    put("source.name", b"disk & co.E01")
    put("source.size", b"16777216")
    put("source.container", b"E01, 3 segments")
    put("source.hash", b"sha256:" + b"ab" * 32)
    put("source.hash", b"md5:" + b"cd" * 16)
    put("scan_time", str(SCAN_TIME).encode())
    for mail in mail_records():
        put("mail")
        for key, value in mail.items():
            if key == "attachments":
                for name in value:
                    put("attachment", name)
            elif key == "runs":
                for run in value:
                    put("run", run)
            else:
                put(key, value)
    for message, sender, date, _ in MESSAGES:
        put("message")
        put("mbox.bytes", message)
        put("mbox.sender", sender)
        put("mbox.date", date)
    path.write_text("\n".join(lines) + "\n")


def text(raw):
    return raw.decode("utf-8", "replace")


def xml_text(raw):
    """What XML 1.0 may hold of the text: forbidden characters become U+FFFD."""
    return re.sub("[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]", "\ufffd", text(raw))


def guarded(value):
    return "'" + value if value[:1] in ("=", "+", "-", "@", "\t", "\r") else value


def attachment_lines(names):
    return "\n".join(text(name).replace("\r", " ").replace("\n", " ") for name in names)


def check_csv(path, mails, failures):
    with open(path, encoding="utf-8", newline="") as file:  # strict: must be valid UTF-8
        rows = list(csv.reader(file, strict=True))
    if rows[0] != HEADER:
        failures.append(f"csv header is {rows[0]}")
    if len(rows) != len(mails) + 1:
        failures.append(f"csv has {len(rows) - 1} rows for {len(mails)} mails")
    for row, mail in zip(rows[1:], mails):
        got = dict(zip(HEADER, row))
        for column in HEADER:
            if column == "attachments":
                expected = attachment_lines(mail["attachments"])
            else:
                expected = text(mail.get(column, b""))
            if column in TEXT_FIELDS:
                expected = guarded(expected)
            if got[column] != expected:
                failures.append(f"csv row {mail['index'].decode()} {column}: {got[column]!r} "
                                f"!= {expected!r}")


def check_xml(path, mails, failures):
    root = ET.parse(path).getroot()  # expat: fails on anything not well-formed
    if root.tag != DFXML + "dfxml":
        failures.append(f"xml root is {root.tag}")
    command_line = root.findtext(f"{DFXML}creator/{DFXML}execution_environment/"
                                 f"{DFXML}command_line")
    if command_line != "quillon save 'disk & co.E01' --out \"x<y\" --report":
        failures.append(f"xml command line {command_line!r}")
    source = root.find(DFXML + "source")
    hashes = {h.get("type"): h.text for h in source.findall(DFXML + "hashdigest")}
    if (source.findtext(DFXML + "image_filename") != "disk & co.E01" or
            source.findtext(DFXML + "imagesize") != "16777216" or
            hashes != {"sha256": "ab" * 32, "md5": "cd" * 16}):
        failures.append(f"xml source {ET.tostring(source)!r}")
    saved = [mail for mail in mails if mail["file"]]
    objects = root.findall(DFXML + "fileobject")
    if len(objects) != len(saved):
        failures.append(f"xml has {len(objects)} fileobjects for {len(saved)} saved mails")
    for element, mail in zip(objects, saved):
        where = f"xml mail {mail['index'].decode()}"
        if element.findtext(DFXML + "filename") != xml_text(mail["file"]):
            failures.append(f"{where} filename {element.findtext(DFXML + 'filename')!r}")
        if element.findtext(DFXML + "filesize") != mail["file_size"].decode():
            failures.append(f"{where} filesize")
        digest = element.find(DFXML + "hashdigest")
        if digest is None or digest.get("type") != "sha256" or digest.text != mail["sha256"].decode():
            failures.append(f"{where} hashdigest")
        runs = []
        for run in element.findall(f"{DFXML}byte_runs/{DFXML}byte_run"):
            image = "fill" if run.get("fill") == "0" else run.get("img_offset")
            runs.append(f"{run.get('file_offset')}:{image}:{run.get('len')}".encode())
        if runs != mail["runs"]:
            failures.append(f"{where} byte runs {runs}")
        fields = element.find(MAIL + "mail")
        for key in ("index", "sector", "offset", "bytes", "found_by", "damaged", "from", "to",
                    "subject", "date", "message_id", "duplicate_of", "part_of"):
            expected = xml_text(mail[key]) if key in mail else None
            got = fields.findtext(MAIL + key)
            if got != expected and not (got == "" and expected == ""):
                failures.append(f"{where} {key}: {got!r} != {expected!r}")
        names = [name.text or "" for name in fields.findall(MAIL + "attachment")]
        if names != [xml_text(name) for name in mail["attachments"]]:
            failures.append(f"{where} attachments {names!r}")


def unquote_mboxrd(data):
    return re.sub(rb"(?m)^>(>*From )", rb"\1", data)


def check_mbox(path, failures):
    box = mailbox.mbox(str(path), create=False)
    keys = list(box.keys())
    if len(keys) != len(MESSAGES):
        failures.append(f"mbox holds {len(keys)} messages for {len(MESSAGES)}")
    for key, (message, _, _, from_line) in zip(keys, MESSAGES):
        got_from = box.get_message(key).get_from()
        if got_from != from_line:
            failures.append(f"mbox message {key} From_ line {got_from!r} != {from_line!r}")
        expected = message if message.endswith(b"\n") else message + b"\n"
        got = unquote_mboxrd(box.get_bytes(key))
        if got != expected:
            failures.append(f"mbox message {key} bytes {got[:200]!r} != {expected[:200]!r}")
    box.close()


def main():
    options = support.parse_arguments(__doc__)
    probe = options.build_dir / "bin" / "quillon_report_writer_probe"
    if not probe.exists():
        print(f"FAILED: {probe} does not exist (build the quillon_report_writer_probe target)")
        return support.FAIL
    failures = []
    with support.ScratchDir(options.build_dir, "report-readback", options.keep) as scratch:
        write_input(scratch.path / "input.txt")
        completed = subprocess.run([str(probe), str(scratch.path / "input.txt"),
                                    str(scratch.path)], capture_output=True, text=True)
        if completed.returncode != 0:
            failures.append(f"probe exited with {completed.returncode}: {completed.stderr}")
        else:
            mails = mail_records()
            for check in (lambda: check_csv(scratch.path / "report.csv", mails, failures),
                          lambda: check_xml(scratch.path / "report.xml", mails, failures),
                          lambda: check_mbox(scratch.path / "mailbox.mbox", failures)):
                try:
                    check()
                except Exception as error:  # a reader that cannot read the file at all
                    failures.append(f"{type(error).__name__}: {error}")
        scratch.finish(not failures)
    for failure in failures:
        print(f"  {failure[:600]}")
    print(f"{len(HOSTILE_SUBJECTS)} records, {len(MESSAGES)} messages: "
          f"{'FAILED' if failures else 'read back alike'}")
    return support.FAIL if failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

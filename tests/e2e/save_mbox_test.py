#!/usr/bin/env python3
"""`quillon save --format mbox` on images of our own, read back with Python's `mailbox.mbox`:
the mailbox holds the same mails as an .eml save of the same image, byte for byte once the
mboxrd quoting of ">*From " lines is taken off (and a line break given to a mail that ended
without one); the From_ line carries the mail's sender and
date (MAILER-DAEMON where the mail names none); a second run writes "Mail Box_1.mbox" beside
the first and leaves it as it was; with --report the rows name the mailbox. mutt, a mail program
people open such mailboxes with, reads the same mails in the same order: it copies every mail it
sees into a mailbox of its own, which is compared line by line (mutt writes its own Status,
Content-Length and Lines headers, its own line ends and its own From quoting).
"""

import csv
import hashlib
import mailbox
import pathlib
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

QUOTED_FROM = re.compile(rb"^>(>*From )", re.MULTILINE)

OWN_MAILS = {
    # Body lines a mailbox reader would take for a new mail, and quoted ones.
    "from-lines.eml":
        b"Received: from a.example.org by b.example.org; Mon, 1 Feb 2010 10:00:00 +0000\r\n"
        b"From: Quoter <quoter@example.org>\r\nTo: you@example.com\r\nSubject: From lines\r\n"
        b"Date: Mon, 1 Feb 2010 10:00:00 +0000\r\nMessage-ID: <from-lines@example.org>\r\n\r\n"
        b"First line.\r\n\r\nFrom the start this line would part a mailbox.\r\n"
        b">From a quoted one\r\n>>From deeper\r\nFromage is no From line.\r\n",
    # A sender without an address: the From_ line names MAILER-DAEMON.
    "no-sender.eml":
        b"Received: from c.example.org by d.example.org; Tue, 2 Feb 2010 11:00:00 +0000\r\n"
        b"From: Nobody at all\r\nTo: you@example.com\r\nSubject: nobody sent this\r\n"
        b"Date: Tue, 2 Feb 2010 11:00:00 +0000\r\nMessage-ID: <no-sender@example.org>\r\n\r\n"
        b"Text.\r\n",
}


def unquoted(data):
    return QUOTED_FROM.sub(rb"\1", data)


MUTT_MANAGED = re.compile(rb"^(Status|X-Status|Content-Length|Lines): ")


def mail_lines(data):
    """A mail's non-empty lines with LF ends, From quoting taken off and mutt's own headers left
    out: what survives mutt's rewriting of a mail it copies."""
    return [QUOTED_FROM.sub(rb"\1", line) for line in data.replace(b"\r\n", b"\n").split(b"\n")
            if line.strip() and not MUTT_MANAGED.match(line)]


def read_with_mutt(path, copy):
    """Every mail mutt finds in the mailbox at `path`, in mailbox order, as copied by mutt into
    a mailbox of its own; None when mutt did not finish. mutt wants a terminal: `script` gives
    it one."""
    commands = ("set wait_key=no confirmcreate=no confirmappend=no quit=yes "
                "sort=mailbox-order")
    keys = f'push "<tag-pattern>~A<enter><tag-prefix><copy-message>{copy}<enter><exit>"'
    mutt = f"mutt -n -F /dev/null -R -f '{path}' -e '{commands}' -e '{keys}'"
    try:
        completed = subprocess.run(["script", "-qec", mutt, "/dev/null"], capture_output=True,
                                   stdin=subprocess.DEVNULL, timeout=120,
                                   env=dict(os.environ, TERM="xterm"))
    except subprocess.TimeoutExpired:
        return None
    if completed.returncode != 0 or not copy.is_file():
        return None
    box = mailbox.mbox(copy, create=False)
    return [box.get_bytes(key) for key in box.keys()]


def test(options, binary):
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)
            print(f"  FAIL {message}")

    corpus = support.corpus_dir(options.source_dir)
    with support.ScratchDir(options.build_dir, "save-mbox", options.keep) as scratch:
        work = scratch.path
        own = work / "own"
        own.mkdir()
        for name, data in OWN_MAILS.items():
            (own / name).write_bytes(data)
        inputs = [options.source_dir / "tools" / "demo-mails", own]
        if corpus:
            inputs += support.mail_files(corpus)[::20]
        for layout, seed in (("deleted", 4), ("dbx", 6)):
            image, _ = support.build_image(options.source_dir, work, layout, layout, inputs,
                                           seed=seed)
            emls = work / f"{layout}-eml"
            boxes = work / f"{layout}-mbox"
            subprocess.run([binary, "save", image, "--out", emls], capture_output=True,
                           check=True)
            completed = subprocess.run([binary, "save", image, "--out", boxes, "--format",
                                        "mbox", "--report"], capture_output=True)
            expect(completed.returncode == 0, f"{layout}: exit {completed.returncode}")
            path = boxes / "Mail Box.mbox"
            expect(not (boxes / "Mail Box").exists(), f"{layout}: a Mail Box folder was made")
            box = mailbox.mbox(path, create=False)
            read = sorted(unquoted(box.get_bytes(key)) for key in box.keys())
            # A mailbox ends each mail with a line break: one that had none gets one.
            saved = sorted(data if data.endswith(b"\n") else data + b"\n"
                           for data in (p.read_bytes() for p in (emls / "Mail Box").iterdir()))
            expect(len(read) == len(saved) > 0,
                   f"{layout}: {len(read)} mails in the mailbox, {len(saved)} .eml files")
            expect(read == saved, f"{layout}: the mailbox's mails differ from the .eml files")
            said = completed.stdout.decode()
            expect(said == f"Saved {len(saved)} mails!\n", f"{layout}: said {said!r}")
            froms = [box.get_message(key).get_from() for key in box.keys()]
            expect(any(f.startswith("quoter@example.org Mon Feb  1 10:00:00 2010")
                       for f in froms), f"{layout}: no From_ line of the quoting mail: {froms}")
            expect(any(f.startswith("MAILER-DAEMON Tue Feb  2 11:00:00 2010") for f in froms),
                   f"{layout}: no MAILER-DAEMON From_ line for the mail without a sender")
            with open(boxes / "report.csv", newline="", encoding="utf-8") as file:
                rows = list(csv.DictReader(file))
            by_digest = {hashlib.sha256(p.read_bytes()).hexdigest()
                         for p in (emls / "Mail Box").iterdir()}
            expect(rows and all(r["file"] == "Mail Box.mbox" and r["sha256"] in by_digest
                                for r in rows),
                   f"{layout}: report rows do not name the mailbox and its mails")

            if shutil.which("mutt") is None:
                expect(False, "mutt is not installed (scripts/install-deps.sh installs it)")
            else:
                ours = [mail_lines(box.get_bytes(key)) for key in box.keys()]
                theirs = read_with_mutt(path, work / f"{layout}-mutt.mbox")
                expect(theirs is not None and [mail_lines(m) for m in theirs] == ours,
                       f"{layout}: mutt read "
                       f"{'nothing' if theirs is None else len(theirs)} mails, not the "
                       f"{len(ours)} in the mailbox or not the same")

            first = path.read_bytes()
            subprocess.run([binary, "save", image, "--out", boxes, "--format", "mbox"],
                           capture_output=True, check=True)
            again = boxes / "Mail Box_1.mbox"
            expect(path.read_bytes() == first and again.is_file() and
                   sorted(unquoted(m) for m in map(mailbox.mbox(again).get_bytes,
                                                   mailbox.mbox(again).keys())) == read,
                   f"{layout}: a second run did not write Mail Box_1.mbox beside the first")
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

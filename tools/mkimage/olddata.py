"""Old data: what the clusters of long-deleted files still hold around a mail on a used disk.

A mail's first line may follow such bytes directly (a lead), and file slack behind a mail's
last byte may hold them (slack). Both are windows cut out of a longer run of one kind, so they
begin and end anywhere, mostly in the middle of a line. Nothing here holds "received" in any
letter case (a trace line the truth does not know of), nor a line starting with "From:" and one
starting with "Date:" (a header block of a mail the truth does not know of).
"""

import re

from . import neighbours, wide
from .noise import BASE64_ALPHABET, WORDS, NoiseMaker

# Kinds without NUL bytes: they run on behind a mail's end with nothing that marks it.
TEXT_KINDS = ("text-crlf", "text-lf", "html", "mail", "log", "csv", "xml", "base64",
              *neighbours.KINDS, *wide.KINDS)
NUL_FREE_KINDS = TEXT_KINDS + ("binary",)
# Kinds that hold NUL bytes.
NUL_KINDS = ("binary-nul", "utf16", "pdf")
KINDS = NUL_FREE_KINDS + NUL_KINDS
# Longer than any window is cut from, so that a window may start anywhere in the run.
RUN_MARGIN = 600

_FROM_LINE = re.compile(rb"(?im)^[ \t>]*from:")
_DATE_LINE = re.compile(rb"(?im)^[ \t>]*date:")
_LINE_BREAKS = b"\r\n"


def is_clean(data):
    """No trace word and no header block that could be taken for a mail of its own."""
    lowered = data.lower()
    if b"received" in lowered:
        return False
    return not (_FROM_LINE.search(data) and _DATE_LINE.search(data))


def mail_fragments(texts):
    """Body text of mails, as old mail fragments: each mail's text behind its header block,
    cut at every line that would break the rules above or hold a NUL (old text of this kind
    never does); only pieces of 256 bytes or more."""
    fragments = []
    for text in texts:
        split = re.search(rb"\r?\n\r?\n", text)
        if split is None:
            continue
        body = text[split.end():]
        piece = bytearray()
        for line in body.splitlines(keepends=True):
            if b"received" in line.lower() or _FROM_LINE.match(line) or \
                    _DATE_LINE.match(line) or b"\x00" in line:
                if len(piece) >= 256:
                    fragments.append(bytes(piece))
                piece = bytearray()
                continue
            piece += line
        if len(piece) >= 256:
            fragments.append(bytes(piece))
    return fragments


class OldData:
    """Makes old data of a kind; `fragments` are mail body texts (mail_fragments)."""

    def __init__(self, rng, fragments=()):
        self.rng = rng
        self.noise = NoiseMaker(rng)
        self.neighbours = neighbours.NeighbourData(self.noise)
        self.wide = wide.WideData(self.noise)
        self.fragments = [fragment for fragment in fragments if is_clean(fragment)]

    # Runs of one kind, at least `size` bytes long.

    def word(self):
        return self.rng.choice(WORDS)

    def log_run(self, size):
        lines = []
        total = 0
        while total < size:
            level = self.rng.choice(("INFO", "INFO", "DEBUG", "WARN", "ERROR"))
            line = (f"2008-{self.rng.randint(1, 12):02d}-{self.rng.randint(1, 28):02d} "
                    f"{self.rng.randint(0, 23):02d}:{self.rng.randint(0, 59):02d}:"
                    f"{self.rng.randint(0, 59):02d} [{level}] {self.noise.sentence()}")
            lines.append(line)
            total += len(line) + 1
        return ("\n".join(lines) + "\n").encode("ascii")

    def csv_run(self, size):
        lines = ["id;name;place;value;note"]
        total = len(lines[0])
        while total < size:
            line = (f"{self.rng.randint(1, 99999)};{self.word()};{self.word().capitalize()};"
                    f"{self.rng.randint(0, 9999)}.{self.rng.randint(0, 99):02d};{self.word()}")
            lines.append(line)
            total += len(line) + 2
        return ("\r\n".join(lines) + "\r\n").encode("ascii")

    def xml_run(self, size):
        parts = ['<?xml version="1.0" encoding="utf-8"?>', "<records>"]
        total = 60
        while total < size:
            part = (f'  <record id="{self.rng.randint(1, 9999)}"><name>{self.word()}</name>'
                    f"<text>{self.noise.sentence()}</text></record>")
            parts.append(part)
            total += len(part) + 2
        return ("\r\n".join(parts) + "\r\n</records>\r\n").encode("ascii")

    def base64_run(self, size):
        lines = []
        while len(lines) * 78 < size:
            lines.append("".join(self.rng.choice(BASE64_ALPHABET) for _ in range(76)))
        return ("\r\n".join(lines) + "\r\n").encode("ascii")

    def utf16_run(self, size):
        return self.noise.prose(size // 2 + 2, "\r\n").decode("ascii").encode("utf-16-le")

    def pdf_run(self, size):
        data = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
        number = 1
        while len(data) < size:
            data += (f"{number} 0 obj\n<< /Type /Page /Length {self.rng.randint(100, 900)} "
                     f"/Filter /FlateDecode >>\nstream\n").encode("ascii")
            data += self.rng.randbytes(self.rng.randint(100, 700))
            data += b"\nendstream\nendobj\n"
            number += 1
        return bytes(data)

    def mail_run(self, size):
        if not self.fragments:
            return self.noise.prose(size, "\r\n")
        data = bytearray()
        while len(data) < size:
            data += self.rng.choice(self.fragments)
        return bytes(data)

    def run(self, kind, size):
        if kind == "text-crlf":
            return self.noise.prose(size, "\r\n")
        if kind == "text-lf":
            return self.noise.prose(size, "\n")
        if kind == "html":
            return self.noise.html(size)
        if kind == "binary":
            return bytes(byte or 0x20 for byte in self.rng.randbytes(size))
        if kind == "binary-nul":
            return self.rng.randbytes(size)
        if kind in neighbours.KINDS:
            return self.neighbours.run(kind, size)
        if kind in wide.KINDS:
            return self.wide.run(kind, size)
        makers = {"mail": self.mail_run, "log": self.log_run, "csv": self.csv_run,
                  "xml": self.xml_run, "base64": self.base64_run, "utf16": self.utf16_run,
                  "pdf": self.pdf_run}
        return makers[kind](size)

    # Windows.

    def window(self, kind, size):
        """Exactly `size` bytes of the kind, cut from a run at a random place."""
        if size <= 0:
            return b""
        for _ in range(20):
            run = self.run(kind, size + RUN_MARGIN)
            begin = self.rng.randrange(0, len(run) - size + 1)
            data = run[begin:begin + size]
            if is_clean(data):
                return data
        return self.noise.prose(size, "\r\n")  # a run of that kind kept breaking the rules

    def lead(self, kind, size):
        """Bytes a mail's first line follows directly: they end in no line break, so that the
        line reads on from them."""
        data = bytearray(self.window(kind, size))
        while data and data[-1] in _LINE_BREAKS:
            data[-1] = ord(self.rng.choice("abcdefghijklmnopqrstuvwxyz"))
        return bytes(data)

    def slack(self, kind, size):
        """Bytes behind a mail's last byte up to its cluster's end. Those of the NUL-free kinds
        hold no NUL, so nothing but their content tells them from the mail."""
        return self.window(kind, size)

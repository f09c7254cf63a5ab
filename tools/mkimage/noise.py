"""Filler between mails: what a used disk holds around deleted mail text.

Everything here is generated from one seeded random generator, so an image is reproducible.
None of it contains "Received: " in any letter case: a trace line in the filler would be a mail
the ground truth does not know about. Every cluster ends with a byte that is not LF, so the first
line of a mail placed behind it never follows a CR LF.
"""

import random

CLUSTER_SIZE = 4096

WORDS = (
    "the of and to in is was for on that with as by at from this be are or an it not which have "
    "has had were but all their one can more other some time will about there been would these "
    "new when only into also its after first two over such may where most report table system "
    "value order page index level block record version figure section total number market "
    "project budget meeting garden river window summer winter station engine paper letter "
    "village harbour kitchen museum planet signal library bridge forest island morning evening "
    "quarter council minute weather orange silver yellow purple copper marble granite timber "
    "north south east west green quiet rapid simple narrow ancient modern gentle bright"
).split()

HTML_TAGS = ("div", "span", "p", "td", "li", "section", "article", "em", "strong")
CSS_PROPERTIES = ("margin", "padding", "color", "font-size", "border", "width", "line-height")

# Lines that look like mail headers inside ordinary prose, without any trace line.
HEADER_LOOKALIKES = (
    "Subject: {w} {w} {w}",
    "From: {W} {W} <{w}@example.com>",
    "To: {w}.{w}@example.org",
    "Date: Mon, 3 Feb 2003 10:{n:02d}:00 +0000",
    "Cc: {w}@example.net",
    "X-Priority: 3",
    "Content-Type: text/plain; charset=us-ascii",
    "Message-ID: <{n}.{w}@example.com>",
    "Subject: x",
    "From: y",
)


# Header-like text that is no mail: what quoting, forwarding and MIME leave in documents, mail
# bodies and loose attachments on a disk.
DECOY_KINDS = ("header-lines", "quoted-reply", "forward-quote", "mime-parts")
MIME_TYPES = ("text/plain; charset=utf-8", "text/html; charset=iso-8859-1",
              "application/pdf; name=\"{w}.pdf\"", "image/png; name=\"{w}.png\"",
              "application/octet-stream")
ENCODINGS = ("base64", "quoted-printable", "7bit", "8bit")
BASE64_ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def _has_trace_text(data):
    return b"received" in data.lower()


class NoiseMaker:
    def __init__(self, rng: random.Random):
        self.rng = rng

    # Plain building blocks.

    def random_bytes(self, size):
        data = bytearray(self.rng.randbytes(size))
        if size:
            data[-1] = 0
        return bytes(data)

    def sentence(self):
        count = self.rng.randint(4, 14)
        words = [self.rng.choice(WORDS) for _ in range(count)]
        words[0] = words[0].capitalize()
        return " ".join(words) + self.rng.choice((".", ".", ".", ",", ";", "!", "?"))

    def prose(self, size, newline):
        """Exactly `size` bytes of sentences in lines, some of them empty."""
        lines = []
        length = -len(newline)
        while length < size:
            if self.rng.random() < 0.12:
                line = ""
            else:
                line = " ".join(self.sentence() for _ in range(self.rng.randint(1, 3)))
            lines.append(line)
            length += len(line) + len(newline)
        return newline.join(lines).encode("ascii")[:size]

    def html(self, size):
        parts = ["<!DOCTYPE html>", "<html><head><style>"]
        for _ in range(self.rng.randint(2, 6)):
            tag = self.rng.choice(HTML_TAGS)
            rules = "; ".join(
                f"{self.rng.choice(CSS_PROPERTIES)}: {self.rng.randint(0, 40)}px"
                for _ in range(self.rng.randint(1, 4)))
            parts.append(f".{self.rng.choice(WORDS)} {tag} {{ {rules}; }}")
        parts.append("</style></head><body>")
        while sum(len(part) + 2 for part in parts) < size + 2:
            tag = self.rng.choice(HTML_TAGS)
            parts.append(f"<{tag} class=\"{self.rng.choice(WORDS)}\">{self.sentence()}</{tag}>")
        parts.append("</body></html>")
        return "\r\n".join(parts).encode("ascii")[:size]

    def header_lookalikes(self, size):
        """Prose with runs of header-like lines: a carver must not start a mail on them."""
        lines = []
        length = -2
        while length < size:
            if self.rng.random() < 0.35:
                run = self.rng.sample(HEADER_LOOKALIKES, self.rng.randint(2, 5))
                for template in run:
                    line = template.format(w=self.rng.choice(WORDS),
                                           W=self.rng.choice(WORDS).capitalize(),
                                           n=self.rng.randint(0, 59))
                    lines.append(line)
                if self.rng.random() < 0.5:
                    lines.append("")
            else:
                lines.append(self.sentence() + " " + self.sentence())
            length = sum(len(line) + 2 for line in lines) - 2
        return "\r\n".join(lines).encode("ascii")[:size]

    # Header-like decoys.

    def fill_words(self, template):
        return template.format(w=self.rng.choice(WORDS), W=self.rng.choice(WORDS).capitalize(),
                               n=self.rng.randint(0, 59), d=self.rng.randint(1, 28))

    def address(self):
        return self.fill_words("{W} {W} <{w}.{w}@example.com>")

    def date_text(self):
        return self.fill_words("Mon, {d} Mar 2008 10:{n:02d}:00 +0100")

    def decoy_header_lines(self, size):
        """Single "From: x" and "Date: y" lines among prose lines, as in notes and letters."""
        lines = []
        while sum(len(line) + 2 for line in lines) < size + 2:
            roll = self.rng.random()
            if roll < 0.15:
                lines.append("From: " + self.rng.choice((self.address(), self.rng.choice(WORDS))))
            elif roll < 0.3:
                lines.append("Date: " + self.rng.choice((self.date_text(), "tomorrow")))
            elif roll < 0.35:
                lines.append(self.fill_words("Subject: {w} {w}"))
            else:
                lines.append(self.sentence())
        return "\r\n".join(lines).encode("ascii")[:size]

    def decoy_quoted_reply(self, size):
        """A reply that quotes the header lines of the mail it answers behind "> "."""
        lines = [self.sentence(), "", f"On {self.date_text()}, {self.address()} wrote:"]
        while sum(len(line) + 2 for line in lines) < size + 2:
            lines += ["> From: " + self.address(), "> Date: " + self.date_text(),
                      "> To: " + self.address(), self.fill_words("> Subject: {w} {w} {w}"), ">"]
            lines += ["> " + self.sentence() for _ in range(self.rng.randint(1, 4))]
            lines += ["", self.sentence(), ""]
        return "\r\n".join(lines).encode("ascii")[:size]

    def decoy_forward_quote(self, size):
        """The header summary mail programs put above a forwarded or replied-to text."""
        lines = []
        while sum(len(line) + 2 for line in lines) < size + 2:
            lines.append(self.sentence())
            if self.rng.random() < 0.5:
                lines += ["", "-----Original Message-----", "From: " + self.address(),
                          "Sent: " + self.date_text(), "To: " + self.address(),
                          self.fill_words("Subject: RE: {w} {w}"), ""]
            else:
                lines += ["", "---------- Forwarded message ---------",
                          "From: " + self.address(), "Date: " + self.date_text(),
                          self.fill_words("Subject: Fwd: {w} {w}"), "To: " + self.address(), ""]
            lines += [self.sentence() for _ in range(self.rng.randint(1, 3))]
        return "\r\n".join(lines).encode("ascii")[:size]

    def decoy_mime_parts(self, size):
        """MIME part headers and encoded part text between runs of binary bytes, as a damaged
        attachment or a mail-program cache holds them."""
        data = bytearray()
        boundary = self.fill_words("----=_Part_{n}_{d}.{w}")
        while len(data) < size:
            if self.rng.random() < 0.4:
                data += self.random_bytes(self.rng.randint(16, 400))
            lines = ["--" + boundary, "Content-Type: " + self.fill_words(
                self.rng.choice(MIME_TYPES)),
                     "Content-Transfer-Encoding: " + self.rng.choice(ENCODINGS)]
            if self.rng.random() < 0.5:
                lines.append(self.fill_words("Content-Disposition: attachment; "
                                             "filename=\"{w}.pdf\""))
            lines.append("")
            for _ in range(self.rng.randint(1, 6)):
                lines.append("".join(self.rng.choice(BASE64_ALPHABET) for _ in range(76)))
            data += ("\r\n".join(lines) + "\r\n").encode("ascii")
        return bytes(data[:size])

    def decoy_cluster(self, kind):
        """A cluster of one decoy kind, ended by zeros; returns (bytes, length of the decoy)."""
        size = self.rng.randint(CLUSTER_SIZE // 4, CLUSTER_SIZE - 1)
        make = {"header-lines": self.decoy_header_lines, "quoted-reply": self.decoy_quoted_reply,
                "forward-quote": self.decoy_forward_quote,
                "mime-parts": self.decoy_mime_parts}[kind]
        text = make(size)
        assert not _has_trace_text(text)
        return text + bytes(CLUSTER_SIZE - len(text)), len(text)

    # Whole clusters.

    def text_cluster(self, kind):
        """A cluster of text of one kind, ended by zeros as file slack would be."""
        size = self.rng.randint(CLUSTER_SIZE // 4, CLUSTER_SIZE - 1)
        if kind == "prose-crlf":
            text = self.prose(size, "\r\n")
        elif kind == "prose-lf":
            text = self.prose(size, "\n")
        elif kind == "html":
            text = self.html(size)
        else:
            text = self.header_lookalikes(size)
        assert not _has_trace_text(text)
        return text + bytes(CLUSTER_SIZE - len(text))

    CLUSTER_KINDS = ("zeros", "random", "prose-crlf", "prose-lf", "html", "headers")
    CLUSTER_WEIGHTS = (25, 25, 15, 10, 10, 15)

    def cluster(self, kind=None):
        """(kind, bytes) of one noise cluster; zero clusters come back as None bytes so that
        the writer can leave a hole."""
        if kind is None:
            kind = self.rng.choices(self.CLUSTER_KINDS, self.CLUSTER_WEIGHTS)[0]
        if kind == "zeros":
            return kind, None
        if kind == "random":
            return kind, self.random_bytes(CLUSTER_SIZE)
        return kind, self.text_cluster(kind)

    def slack(self, size):
        """File slack behind a mail's last byte: zeros or leftover random bytes."""
        if size == 0 or self.rng.random() < 0.5:
            return None
        return self.random_bytes(size)

    def text_pool(self, size):
        """A long stretch of mixed text for the benchmark image."""
        parts = []
        total = 0
        while total < size:
            kind = self.rng.choice(("prose-crlf", "prose-lf", "html", "headers"))
            part = self.text_cluster(kind).rstrip(b"\x00")
            parts.append(part)
            total += len(part) + 2
        pool = b"\r\n".join(parts)[:size]
        assert not _has_trace_text(pool)
        return pool

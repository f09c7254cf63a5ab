"""Old data that reads like mail without being a mail of its own: what lies in front of or
behind a deleted mail on a disk that held mail for years. Each kind is the rest of something a
mail program, a server or a user leaves: another mail's last part and its closing boundary with a
list footer, a mailing-list digest, quoted replies, a mailbox's separator lines, a patch or
source file, the returned header lines of a bounce, a web-mail page that shows a mail's header
fields in its markup, a quoted-printable text whose lines end in soft breaks.

Like the other old data (olddata.py), none of it holds "received" in any letter case, nor a line
starting with "From:" together with one starting with "Date:": the truth knows of no mail here.
"""

from .noise import BASE64_ALPHABET, WORDS

KINDS = ("mail-end", "digest", "quoted-headers", "mbox-lines", "patch", "returned-headers",
         "webmail-page", "qp-text")

_LIST_NAMES = ("users", "devel", "announce", "general", "help")
_SERVERS = ("mx1.example.net", "smtp.example.org", "mail.example.com")


class NeighbourData:
    """Runs of the kinds above, made from `noise` (a NoiseMaker) and its generator."""

    def __init__(self, noise):
        self.noise = noise
        self.rng = noise.rng

    def word(self):
        return self.rng.choice(WORDS)

    def address(self):
        return f"{self.word()}.{self.word()}@example.{self.rng.choice(('com', 'org', 'net'))}"

    def message_id(self):
        return f"<{self.rng.randint(10**6, 10**9)}.{self.word()}@{self.rng.choice(_SERVERS)}>"

    def text_lines(self, count):
        return [self.noise.sentence() if self.rng.random() < 0.85 else ""
                for _ in range(count)]

    def footer(self):
        name = self.rng.choice(_LIST_NAMES)
        return ["_" * 47, f"{name} mailing list", f"{name}@lists.example.org",
                f"https://lists.example.org/mailman/listinfo/{name}"]

    def mail_end(self):
        """The last part of another mail: text, a base64 attachment, the closing boundary and
        what lists and servers put behind it."""
        boundary = f"----=_NextPart_{self.rng.randint(0, 999):03d}_{self.rng.randint(0, 9999):04X}"
        lines = self.text_lines(self.rng.randint(2, 8))
        lines += ["", f"--{boundary}", "Content-Type: application/octet-stream",
                  "Content-Transfer-Encoding: base64", ""]
        for _ in range(self.rng.randint(1, 8)):
            lines.append("".join(self.rng.choice(BASE64_ALPHABET) for _ in range(76)))
        lines.append("".join(self.rng.choice(BASE64_ALPHABET)
                             for _ in range(self.rng.randint(4, 70))) + "==")
        lines += ["", f"--{boundary}--"]
        if self.rng.random() < 0.6:
            lines += [""] + self.footer()
        lines.append("")
        return lines

    def digest(self):
        """One message of a digest: the lines a list server keeps of its header, its text."""
        lines = ["", "-" * 30, "", f"Message: {self.rng.randint(1, 40)}",
                 f"From: {self.word().capitalize()} <{self.address()}>",
                 f"Subject: Re: [{self.rng.choice(_LIST_NAMES)}] {self.word()} {self.word()}",
                 f"To: {self.address()}", f"Message-ID: {self.message_id()}",
                 "Content-Type: text/plain; charset=us-ascii", ""]
        return lines + self.text_lines(self.rng.randint(2, 10))

    def quoted_headers(self):
        """A reply quoting the header lines of the mail it answers, behind "> " or ">"."""
        mark = self.rng.choice(("> ", ">", "> > "))
        lines = [self.noise.sentence(), "", "-----Original Message-----"]
        lines = [mark + line for line in
                 (f"From: {self.address()}", f"Sent: Tuesday, March {self.rng.randint(1, 28)}, "
                  f"2011 {self.rng.randint(1, 12)}:{self.rng.randint(0, 59):02d} PM",
                  f"To: {self.address()}", f"Subject: {self.word()} {self.word()}", "")]
        return [self.noise.sentence(), ""] + lines + \
            [mark + line for line in self.text_lines(self.rng.randint(2, 6))] + [""]

    def mbox_lines(self):
        """A mailbox's separator line and the text of the mail behind it, its header lines cut
        away with the cluster they lay in."""
        day = self.rng.randint(1, 28)
        lines = ["", f"From {self.address()}  Wed Jun {day:2d} 10:{self.rng.randint(0, 59):02d}:"
                 f"{self.rng.randint(0, 59):02d} 2009"]
        lines += [f"Status: {self.rng.choice(('RO', 'O', 'R'))}", "X-Status: ", ""]
        return lines + self.text_lines(self.rng.randint(2, 10))

    def patch(self):
        """A patch of a source file, or the source itself."""
        name = f"src/{self.word()}_{self.word()}.c"
        lines = [f"diff --git a/{name} b/{name}", f"index {self.rng.randbytes(4).hex()}.."
                 f"{self.rng.randbytes(4).hex()} 100644", f"--- a/{name}", f"+++ b/{name}",
                 f"@@ -{self.rng.randint(1, 900)},7 +{self.rng.randint(1, 900)},8 @@"]
        for _ in range(self.rng.randint(4, 14)):
            sign = self.rng.choice((" ", " ", " ", "-", "+"))
            body = self.rng.choice((f"\tif ({self.word()} == NULL)", "\t\treturn -1;", "}",
                                    f"static int {self.word()}_{self.word()}(void)", "{",
                                    f"\t/* {self.noise.sentence()} */",
                                    f"\t{self.word()} = {self.word()}({self.word()}, "
                                    f"{self.rng.randint(0, 99)});"))
            lines.append(sign + body)
        return lines

    def returned_headers(self):
        """A bounce's copy of the header lines of the mail it returns, without its text."""
        lines = ["", "------ This is a copy of the message's headers. ------", "",
                 f"Return-Path: <{self.address()}>", f"Message-ID: {self.message_id()}",
                 f"From: {self.word().capitalize()} <{self.address()}>",
                 f"To: {self.address()}", f"Subject: {self.word()} {self.word()}",
                 "MIME-Version: 1.0", "Content-Type: text/plain; charset=\"utf-8\"",
                 "Content-Transfer-Encoding: 7bit"]
        if self.rng.random() < 0.5:
            lines += ["", "--" + f"{self.rng.randint(10**8, 10**9)}/{self.rng.choice(_SERVERS)}"
                      + "--"]
        return lines + [""]

    def webmail_page(self):
        """A web-mail program's page of one mail: its header fields in a table, its text."""
        day = self.rng.randint(1, 28)
        fields = (("From", f"{self.word().capitalize()} &lt;{self.address()}&gt;"),
                  ("To", self.address()), ("Subject", f"{self.word()} {self.word()}"),
                  ("Sent", f"Tue, {day} Mar 2011 {self.rng.randint(1, 12)}:"
                           f"{self.rng.randint(0, 59):02d} PM"))
        lines = ['<div class="message-header">', '<table class="fields">']
        lines += [f'<tr><th>{name}:</th><td>{value}</td></tr>' for name, value in fields]
        lines += ["</table></div>", '<div class="message-body"><p>']
        lines += [f"{line}<br>" for line in self.text_lines(self.rng.randint(2, 6))]
        return lines + ["</p></div>"]

    def qp_text(self):
        """A text part in quoted-printable: long lines broken by soft breaks, encoded bytes."""
        lines = []
        for _ in range(self.rng.randint(3, 10)):
            text = " ".join(self.noise.sentence() for _ in range(self.rng.randint(1, 3)))
            text = text.replace(" ", "=20", self.rng.randint(0, 1)).replace("e", "=E9", 1)
            while len(text) > 75:
                lines.append(text[:75] + "=")
                text = text[75:]
            lines.append(text)
        return lines

    def run(self, kind, size):
        """At least `size` bytes of the kind; patches end their lines with LF alone."""
        make = {"mail-end": self.mail_end, "digest": self.digest,
                "quoted-headers": self.quoted_headers, "mbox-lines": self.mbox_lines,
                "patch": self.patch, "returned-headers": self.returned_headers,
                "webmail-page": self.webmail_page, "qp-text": self.qp_text}[kind]
        newline = "\n" if kind == "patch" else "\r\n"
        lines = []
        while sum(len(line) + len(newline) for line in lines) < size:
            lines += make()
        return newline.join(lines).encode("ascii") + newline.encode("ascii")

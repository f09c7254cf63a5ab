"""Whether the bytes that follow a mail on the disk can be told from the mail itself.

A carver can end a mail soundly only where something marks the end: a NUL byte; a line that
cannot belong to the mail (control bytes, a change of line-end style, for a base64 body text
that base64 cannot produce), the mail then ending at the line break before it; or the closing
delimiter of the outermost multipart, followed by at most one epilogue line. Old text with the
mail's own line ends behind a single-part text mail is no mail's end anyone can find, nor is
anything glued to a mail that does not end with a line break. Such endings are made rare by the
layouts (mixes.Mix.unclear_share) and named in the truth (`end_clear`), so that a measure can
tell a carver's faults from what no carver can know.
"""

import re

from . import mailtext

_CONTROL = re.compile(rb"[\x00-\x08\x0b\x0c\x0e-\x1f\x7f]")
_NOT_BASE64 = re.compile(rb"[^A-Za-z0-9+/=\r\n]")
_TRANSFER_ENCODING = re.compile(rb"(?im)^content-transfer-encoding:[ \t]*([a-z0-9-]+)")


def top_level(text):
    """(header block, body) of the text; the body is empty when the header has no end."""
    header_start, _lines, header_end = mailtext.shape_lines(text)
    if header_end is None:
        return text, b""
    newline = text.find(b"\n", header_end)
    return text[header_start:header_end], text[newline + 1:] if newline >= 0 else b""


def closes_multipart(text):
    """True when the text ends with the closing delimiter of its outermost multipart and at most
    one line behind it."""
    header, body = top_level(text)
    boundaries = mailtext.multipart_boundaries(header)
    if not boundaries:
        return False
    boundary = next(iter(boundaries))
    closing = re.compile(rb"(?m)^--" + re.escape(boundary) + rb"--[ \t]*\r?$")
    found = None
    for found in closing.finditer(body):
        pass
    if found is None:
        return False
    behind = body[found.end():]
    epilogue = behind[behind.find(b"\n") + 1:] if b"\n" in behind else b""
    return epilogue.count(b"\n") <= 1


def base64_body(text):
    header, _body = top_level(text)
    if mailtext.multipart_boundaries(header):
        return False
    match = _TRANSFER_ENCODING.search(header)
    return bool(match) and match.group(1).lower() == b"base64"


def first_line(data):
    """The bytes up to and with the first LF (all of them when there is none)."""
    newline = data.find(b"\n")
    return data if newline < 0 else data[:newline + 1]


def end_is_clear(text, following):
    """Whether a mail whose text is followed on the disk directly by `following` (None: by
    zeros) can be ended right behind its last byte by the rules above."""
    if not following or following[:1] == b"\x00":
        return True
    if not text.endswith(b"\n"):
        return False
    line = first_line(following)
    if _CONTROL.search(line):
        return True
    mail_crlf = text.endswith(b"\r\n")
    if line.endswith(b"\n") and line.endswith(b"\r\n") != mail_crlf:
        return True
    if closes_multipart(text):
        return True
    return base64_body(text) and bool(_NOT_BASE64.search(line))

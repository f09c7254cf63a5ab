"""Variants of a mail whose text holds what a carver may take for the bytes behind it: odd line
ends, control and shift bytes, 8-bit text, markup, a footer behind the closing boundary, lines
that look like the start of another mail or of a MIME part, a last line without a line break,
very long lines, a mail that fills its last cluster. Each is the mail's own text, so a mail
read back must hold all of it.

Lines are put in at a line start of the mail's text part (the body, or the first part of a
multipart), in its later half, where end rules look; tails go behind the text's last byte.
"""

import re

from . import mailtext

_DELIMITER = re.compile(rb"\r?\n--")
_CLUSTER = 4096
# A part whose text is base64: lines put into it would be no data of it.
_ENCODED = re.compile(rb"(?im)^content-transfer-encoding:\s*base64")


def _newline(text):
    return b"\r\n" if b"\r\n" in text else b"\n"


def _opens_part(text, at, boundary):
    """True when the line at `at` (behind its "--") is `boundary`'s delimiter line, not its
    closing line nor another boundary that begins with it."""
    if not text.startswith(boundary, at):
        return False
    end = text.find(b"\n", at)
    return not text[at + len(boundary):end if end >= 0 else len(text)].strip()


def _text_region(text):
    """(begin, end) of the text the mail is read by: the body of a single-part mail, the body
    of the first part of a multipart one."""
    start = mailtext.body_start(text)
    if start is None:
        return None
    boundaries = mailtext.multipart_boundaries(text)
    if not boundaries:
        return None if _ENCODED.search(text[:start]) else (start, len(text))
    delimiters = [match.end() for match in _DELIMITER.finditer(text, start - 2)
                  if any(_opens_part(text, match.end(), boundary) for boundary in boundaries)]
    for at, following in zip(delimiters, delimiters[1:] + [len(text)]):
        head_end = re.compile(rb"\r?\n\r?\n").search(text, at, following)
        head = text[at:head_end.start()] if head_end else b""
        if head_end is None or b"multipart/" in head.lower() or _ENCODED.search(head):
            continue
        return head_end.end(), max(head_end.end(), following - 2)
    return None


def _insert_late(text, rng, lines):
    """`lines` put in at a line start in the later half of the text part, or None."""
    region = _text_region(text)
    if region is None:
        return None
    begin, end = region
    starts = [at + 1 for at in range(begin, end - 1) if text[at] == 0x0A]
    starts = [at for at in starts if at >= begin + (end - begin) // 2 and at < end]
    if not starts:
        starts = [begin] if begin < len(text) else []
    if not starts:
        return None
    at = rng.choice(starts)
    return text[:at] + lines + text[at:]


def _words(rng, count):
    words = (b"the", b"report", b"meeting", b"numbers", b"next", b"week", b"draft", b"see",
             b"attached", b"thanks", b"please", b"review", b"budget", b"before", b"friday")
    return b" ".join(rng.choice(words) for _ in range(count))


def _lines(newline, *lines):
    return b"".join(line + newline for line in lines)


def bare_lf(text, rng, newline):
    return _insert_late(text, rng, b"a line ended by a bare line feed\n" + _words(rng, 6) +
                        newline)


def bare_cr(text, rng, newline):
    return _insert_late(text, rng, b"old column\rnew column " + _words(rng, 5) + newline)


def form_feed(text, rng, newline):
    return _insert_late(text, rng, _lines(newline, b"\x0c", b"Page 2\x0c " + _words(rng, 4)))


def iso_2022_jp(text, rng, newline):
    return _insert_late(text, rng, _lines(newline, b"\x1b$B$3$s$K$A$O!#\x1b(B " +
                                          _words(rng, 3), b"\x1b$B$h$m$7$/\x1b(B"))


def control_byte(text, rng, newline):
    return _insert_late(text, rng, _lines(newline, b"id\x01" + _words(rng, 3) + b"\x1fend\x7f",
                                          b"\x1a" + _words(rng, 4)))


def eight_bit(text, rng, newline):
    return _insert_late(text, rng, _lines(newline, b"Caf\xe9 na\xefve r\xe9sum\xe9 " +
                                          _words(rng, 4), b"\xc3\xa9t\xc3\xa9 " + _words(rng, 3)))


def _append(text, tail, newline):
    if not text.endswith(b"\n"):
        text += newline
    return text + tail


def markup_tail(text, rng, newline):
    """A page pasted behind the text of a single-part mail (a signature tool's, a phone's)."""
    if mailtext.multipart_boundaries(text) or _text_region(text) is None:
        return None
    return _append(text, _lines(newline, b"<html><body>", b"<p>" + _words(rng, 5) + b"</p>",
                                b"<br>&nbsp;", b"</body></html>"), newline)


def list_footer(text, rng, newline):
    """A mailing list's footer behind the text: behind the closing boundary of a multipart, at
    the end of a text body (a list puts none behind a single part of base64 data)."""
    start = mailtext.body_start(text)
    if start is None or (not mailtext.multipart_boundaries(text) and
                         _ENCODED.search(text[:start])):
        return None
    return _append(text, _lines(newline, b"", b"_" * 47, b"users mailing list",
                                b"users@lists.example.org",
                                b"http://lists.example.org/mailman/listinfo/users"), newline)


def mbox_from(text, rng, newline):
    return _insert_late(text, rng, _lines(newline, b"From alice@example.com Tue Mar  4 09:12:44 "
                                          b"2008", _words(rng, 7)))


def forward_block(text, rng, newline):
    return _insert_late(text, rng, _lines(
        newline, b"-----Original Message-----", b"From: Alice Example <alice@example.com>",
        b"Sent: Tuesday, March 04, 2008 9:12 AM", b"To: bob@example.org",
        b"Subject: RE: " + _words(rng, 3), b"", _words(rng, 8)))


def forward_headers(text, rng, newline):
    return _insert_late(text, rng, _lines(
        newline, b"---------- Forwarded message ----------",
        b"Received: from mail.example.com (mail.example.com [192.0.2.7])",
        b"\tby mx.example.org; Tue, 4 Mar 2008 09:12:44 +0000",
        b"From: Alice Example <alice@example.com>", b"To: bob@example.org",
        b"Date: Tue, 4 Mar 2008 09:12:40 +0000", b"Subject: " + _words(rng, 3), b"",
        _words(rng, 8)))


def quoted_forward(text, rng, newline):
    """A forwarded mail's header block as a mail program writes it into the text, behind a line
    of its own, with no trace line: no next mail either."""
    return _insert_late(text, rng, _lines(
        newline, b"Begin forwarded message:", b"", b"From: Alice Example <alice@example.com>",
        b"Subject: " + _words(rng, 3), b"Date: March 4, 2008 9:12:44 AM GMT",
        b"To: bob@example.org", b"", _words(rng, 8)))


def field_separators(text, rng, newline):
    """Records pasted from a form or a database, fields kept apart by the unit and record
    separators: a control byte in every few."""
    fields = (b"id", b"7", b"42", b"ok", b"yes", b"no", b"n/a")
    lines = []
    for _ in range(3):
        record = b"\x1f".join(rng.choice(fields) + b" " + _words(rng, 1) for _ in range(4))
        lines.append(record + b"\x1e")
    return _insert_late(text, rng, _lines(newline, *lines))


def dash_lines(text, rng, newline):
    return _insert_late(text, rng, _lines(newline, b"-----", _words(rng, 5), b"-- ",
                                          b"--=_NextPart_000_0001_01C87DE5", b"--"))


def no_final_newline(text, rng, newline):
    """The last line without its line break (an empty body keeps its own)."""
    stripped = text.rstrip(b"\r\n")
    start = mailtext.body_start(text)
    return stripped if start is not None and start < len(stripped) < len(text) else None


def long_line(text, rng, newline):
    return _insert_late(text, rng, _words(rng, 500) + newline)


def cluster_end(text, rng, newline):
    """The text part grown by lines of sentences at its end until the mail fills a whole number
    of clusters, so that its last byte is a cluster's last."""
    region = _text_region(text)
    if region is None:
        return None
    at = region[1]
    missing = -len(text) % _CLUSTER
    if missing < 80:
        missing += _CLUSTER
    filler = bytearray()
    while missing - len(filler) > 160:
        filler += b"The " + _words(rng, 8)[:60] + b"." + newline
    rest = missing - len(filler) - len(newline) - 1
    line = b"The"
    while len(line) < rest:
        line += b" " + _words(rng, 1)
    filler += line[:rest] + b"." + newline
    return text[:at] + bytes(filler) + text[at:]


END_CASES = {
    "end-bare-lf": bare_lf, "end-bare-cr": bare_cr, "end-form-feed": form_feed,
    "end-iso-2022-jp": iso_2022_jp, "end-control-byte": control_byte, "end-eight-bit": eight_bit,
    "end-markup-tail": markup_tail, "end-list-footer": list_footer, "end-mbox-from": mbox_from,
    "end-forward-block": forward_block, "end-forward-headers": forward_headers,
    "end-quoted-forward": quoted_forward, "end-field-separators": field_separators,
    "end-dash-lines": dash_lines, "end-no-final-newline": no_final_newline,
    "end-long-line": long_line, "end-cluster-end": cluster_end,
}


def apply(case, text, rng):
    """The text as the end case has it; the text unchanged where the case does not fit it."""
    changed = END_CASES[case](text, rng, _newline(text))
    return changed if changed is not None else text

"""Mails for the benchmark images: the inputs reused many times as different mails, and mails
that carry a big base64 attachment.

A mailbox holds many mails that look alike (the same senders, lists and programs) but few that
are byte for byte the same. A reused input therefore becomes a mail of its own: a new relay
line in front of its first trace line, another date, a Message-ID of its own and sometimes a
reply prefix on its subject. Its structure (header fields, MIME parts, body) stays as it was.
"""

import base64
import re

CRLF = b"\r\n"
WEEKDAYS = (b"Mon", b"Tue", b"Wed", b"Thu", b"Fri", b"Sat", b"Sun")
MONTHS = (b"Jan", b"Feb", b"Mar", b"Apr", b"May", b"Jun", b"Jul", b"Aug", b"Sep", b"Oct",
          b"Nov", b"Dec")
SUBJECT_PREFIXES = (b"Re: ", b"Re: ", b"Fwd: ", b"AW: ")
_MESSAGE_ID_LOCAL = re.compile(rb"<([^<>@\r\n]*)@")
# Fields the wrapping multipart replaces at the top level; the first part keeps them.
_CONTENT_FIELDS = (b"content-type:", b"content-transfer-encoding:", b"mime-version:")


def split_fields(header):
    """The header block (without its closing empty line) as a list of fields, each the bytes of
    its first line and its folded lines, CR LF included."""
    fields = []
    for line in header.split(CRLF)[:-1]:
        if fields and line[:1] in (b" ", b"\t"):
            fields[-1] += line + CRLF
        else:
            fields.append(line + CRLF)
    return fields


def field_named(field, name):
    return field[:len(name)].lower() == name


def date_text(rng):
    return b"%s, %02d %s %d %02d:%02d:%02d +0%d00" % (
        rng.choice(WEEKDAYS), rng.randint(1, 28), rng.choice(MONTHS), rng.randint(2003, 2024),
        rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59), rng.randint(0, 2))


def relay_line(number, rng):
    """A trace field as the last relay in front of a mailbox adds it."""
    return (b"Received: from mx%d.example.net (mx%d.example.net [192.0.2.%d])\r\n"
            b"\tby mail.example.org (Postfix) with ESMTP id %010X\r\n"
            b"\tfor <user%d@example.org>; %s\r\n" % (
                number % 7, number % 7, rng.randint(1, 254), rng.getrandbits(40), number % 50,
                date_text(rng)))


def vary(text, number, rng):
    """The input made a mail of its own (see the module comment); unchanged when it has no
    CR LF header block."""
    header_end = text.find(b"\r\n\r\n")
    if header_end < 0:
        return text
    fields = split_fields(text[:header_end + 2])
    varied = []
    relay_added = False
    for field in fields:
        if field_named(field, b"received:") and not relay_added:
            varied.append(relay_line(number, rng))
            relay_added = True
        if field_named(field, b"message-id:"):
            field = _MESSAGE_ID_LOCAL.sub(lambda match: b"<%s.%d@" % (match.group(1), number),
                                          field, count=1)
        elif field_named(field, b"date:"):
            field = b"Date: " + date_text(rng) + CRLF
        elif field_named(field, b"subject:") and rng.random() < 0.25:
            field = field[:8] + b" " + rng.choice(SUBJECT_PREFIXES) + field[8:].lstrip(b" ")
        varied.append(field)
    return b"".join(varied) + text[header_end + 2:]


def base64_lines(data):
    """Base64 in 76-character CR LF lines, as mail programs write it."""
    return base64.encodebytes(data).replace(b"\n", CRLF)


ATTACHMENT_TYPES = {
    "photo": (b"image/jpeg", b"photo-%d.jpg"),
    "document": (b"application/pdf", b"scan-%d.pdf"),
    "table": (b"text/csv", b"figures-%d.csv"),
}


def with_attachment(text, number, kind, payload, rng):
    """The input wrapped in a multipart/mixed mail whose first part is the input's own body
    (with its own content fields) and whose second part is `payload` in base64."""
    header_end = text.find(b"\r\n\r\n")
    if header_end < 0:
        header_end = len(text)
        text += b"\r\n\r\n"
    fields = split_fields(text[:header_end + 2])
    top = [field for field in fields if not any(field_named(field, name)
                                                for name in _CONTENT_FIELDS)]
    own = [field for field in fields if field_named(field, b"content-type:")
           or field_named(field, b"content-transfer-encoding:")]
    boundary = b"----=_Part_%d_%08X" % (number, rng.getrandbits(32))
    media_type, name_pattern = ATTACHMENT_TYPES[kind]
    name = name_pattern % number
    return b"".join([
        *top,
        b"MIME-Version: 1.0\r\n",
        b'Content-Type: multipart/mixed; boundary="%s"\r\n' % boundary,
        b"\r\nThis is a multi-part message in MIME format.\r\n\r\n",
        b"--%s\r\n" % boundary,
        *(own or [b"Content-Type: text/plain; charset=us-ascii\r\n"]),
        text[header_end + 2:],
        b"\r\n--%s\r\n" % boundary,
        b'Content-Type: %s; name="%s"\r\n' % (media_type, name),
        b"Content-Transfer-Encoding: base64\r\n",
        b'Content-Disposition: attachment; filename="%s"\r\n\r\n' % name,
        base64_lines(payload),
        b"\r\n--%s--\r\n" % boundary,
    ])

"""Mails that come from no corpus: structures real mail and parser fixtures have and few corpus
mails show (uuencoded bodies, binary parts, bounces, calendars, deep nesting, odd boundaries,
base64 and quoted-printable of every line length, 8-bit headers, long trace stacks, first lines
that are no usual field, tiny bodies, header blocks alone).

Every mail is drawn from a seed and its number alone, so the same seed writes the same files;
its file name says which structure it has (`0007-uuencode.eml`), which the figures of an image
built from them can be split by. Lines end in CR LF, except inside parts whose transfer encoding
allows raw bytes.
"""

import base64
import binascii
import pathlib
import quopri
import random

CRLF = b"\r\n"
WORDS = ("the", "report", "meeting", "invoice", "draft", "update", "project", "review",
         "server", "backup", "quarter", "figures", "please", "attached", "thanks", "team",
         "schedule", "budget", "question", "answer", "notes", "monday", "release", "order")
NAMES = ("Alice Moreau", "Bob Lindqvist", "Chen Wei", "Dana Okafor", "Emil Novak",
         "Fatima Haddad", "Greta Olsen", "Hiro Tanaka")
DOMAINS = ("example.com", "example.org", "mail.example.net", "corp.example")
DAYS = ("Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun")
MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


def words(rng, count):
    return " ".join(rng.choice(WORDS) for _ in range(count))


def prose(rng, lines, width=(30, 72)):
    out = []
    for _ in range(lines):
        line = words(rng, rng.randint(3, 14))[:rng.randint(*width)].strip()
        out.append(line.capitalize().encode() if line else b"")
    return CRLF.join(out) + CRLF


def address(rng):
    name = rng.choice(NAMES)
    local = name.split()[0].lower()
    return name, f"{local}@{rng.choice(DOMAINS)}"


def date_value(rng):
    return (f"{rng.choice(DAYS)}, {rng.randint(1, 28)} {rng.choice(MONTHS)} "
            f"{rng.randint(1998, 2024)} {rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:"
            f"{rng.randint(0, 59):02d} {rng.choice(('+0000', '-0500', '+0100', '+0900'))}")


def asctime(rng):
    """A date as a mailbox separator line writes it."""
    return (f"{rng.choice(DAYS)} {rng.choice(MONTHS)} {rng.randint(1, 28):2d} "
            f"{rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d} "
            f"{rng.randint(1998, 2024)}").encode()


def received(rng, number):
    host = f"mx{number}.{rng.choice(DOMAINS)}"
    return (f"Received: from relay{rng.randint(1, 99)}.{rng.choice(DOMAINS)} "
            f"([192.0.2.{rng.randint(1, 254)}])\r\n\tby {host} with ESMTP id "
            f"{rng.getrandbits(40):010X}; {date_value(rng)}").encode()


def header_block(rng, extra=(), first=None, trace=1, date=True, subject=None):
    """Header lines (bytes, without line ends) of an ordinary mail; `extra` goes last."""
    name, mail = address(rng)
    to_name, to_mail = address(rng)
    lines = [] if first is None else list(first)
    lines += [received(rng, number) for number in range(trace)]
    lines.append(f"From: {name} <{mail}>".encode())
    lines.append(f"To: {to_name} <{to_mail}>".encode())
    lines.append(b"Subject: " + (subject if subject is not None
                                 else words(rng, rng.randint(2, 6)).capitalize().encode()))
    if date:
        lines.append(f"Date: {date_value(rng)}".encode())
    lines.append(f"Message-ID: <{rng.getrandbits(64):016x}@{rng.choice(DOMAINS)}>".encode())
    lines += list(extra)
    return lines


def join_mail(lines, body):
    return CRLF.join(lines) + CRLF + CRLF + body


def boundary(rng, odd=False):
    if odd:
        alphabet = "=_?:()+,./'-" + "abcdefXYZ0123456789"
        return "".join(rng.choice(alphabet) for _ in range(rng.randint(12, 60))).rstrip(" ")
    return f"----=_Part_{rng.getrandbits(32)}_{rng.getrandbits(24)}"


def multipart(rng, kind, parts, mark=None, preamble=b"", epilogue=b"", closed=True,
              extra_params=""):
    """(Content-Type line, body) of a multipart of the given parts (each headers + body)."""
    mark = mark or boundary(rng)
    quoted = f'"{mark}"'
    header = f"Content-Type: multipart/{kind}; boundary={quoted}{extra_params}".encode()
    body = preamble
    for part in parts:
        body += b"--" + mark.encode() + CRLF + part
        if not part.endswith(b"\n"):
            body += CRLF
    if closed:
        body += b"--" + mark.encode() + b"--" + CRLF
    return header, body + epilogue


def text_part(rng, lines=None, charset="us-ascii"):
    return (f"Content-Type: text/plain; charset={charset}".encode() + CRLF +
            b"Content-Transfer-Encoding: 7bit" + CRLF + CRLF +
            prose(rng, lines or rng.randint(2, 12)))


def base64_lines(data, width):
    encoded = base64.b64encode(data)
    if width is None:
        return encoded + CRLF
    return CRLF.join(encoded[at:at + width] for at in range(0, len(encoded), width)) + CRLF


def attachment_part(rng, width=76, size=None):
    data = rng.randbytes(size or rng.randint(200, 6000))
    name = f"file{rng.randint(1, 999)}.{rng.choice(('bin', 'jpg', 'pdf', 'zip'))}"
    return (f"Content-Type: application/octet-stream; name=\"{name}\"\r\n"
            f"Content-Transfer-Encoding: base64\r\n"
            f"Content-Disposition: attachment; filename=\"{name}\"\r\n\r\n").encode() + \
        base64_lines(data, width)


def mime_mail(rng, content_type, body, **keywords):
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", content_type], **keywords),
                     body)


# One function per structure: rng -> mail bytes.

def make_uuencode(rng):
    data = rng.randbytes(rng.randint(100, 3000))
    lines = [b"begin 644 " + f"data{rng.randint(1, 99)}.bin".encode()]
    lines += [binascii.b2a_uu(data[at:at + 45]).rstrip(b"\n") for at in range(0, len(data), 45)]
    lines += [b"`", b"end"]
    body = prose(rng, rng.randint(1, 5)) + CRLF + CRLF.join(lines) + CRLF
    if rng.random() < 0.5:
        body += CRLF + prose(rng, rng.randint(1, 3))
    return join_mail(header_block(rng), body)


def make_binary_part(rng):
    """A part sent with no transfer encoding at all: raw bytes of every value."""
    data = rng.choice((b"\x89PNG\r\n\x1a\n", b"PK\x03\x04", b"%PDF-1.4\n")) + \
        rng.randbytes(rng.randint(60, 1500))
    part = (b"Content-Type: application/octet-stream; name=\"blob.bin\"\r\n"
            b"Content-Transfer-Encoding: binary\r\n\r\n" + data + CRLF)
    header, body = multipart(rng, "mixed", [text_part(rng), part])
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def make_control_text(rng):
    """A text part of 8-bit lines with NUL and other control bytes here and there, as broken
    mail programs and converters leave them."""
    raw = bytearray(prose(rng, rng.randint(4, 12)))
    for _ in range(rng.randint(1, 6)):
        at = rng.randrange(len(raw) - 2)
        if raw[at] not in b"\r\n":
            raw.insert(at, rng.choice((0, 0, 1, 0x1b, 0x7f, 0x0b)))
    return mime_mail(rng, b"Content-Type: text/plain; charset=iso-8859-1\r\n"
                          b"Content-Transfer-Encoding: 8bit", bytes(raw))


def make_8bit_long_lines(rng):
    long_line = " ".join(words(rng, 1) + rng.choice(("\u00e9", "\u00fc", "", "\u00df"))
                         for _ in range(rng.randint(200, 1500))).encode()
    body = prose(rng, 2) + long_line + CRLF + prose(rng, rng.randint(0, 3))
    return mime_mail(rng, b"Content-Type: text/plain; charset=utf-8\r\n"
                          b"Content-Transfer-Encoding: 8bit", body)


def make_bounce(rng):
    inner = join_mail(header_block(rng, trace=rng.randint(0, 2)), prose(rng, rng.randint(2, 8)))
    if rng.random() < 0.3:  # returned headers only
        returned = (b"Content-Type: text/rfc822-headers\r\n\r\n" +
                    inner[:inner.index(b"\r\n\r\n") + 2])
    else:
        returned = b"Content-Type: message/rfc822\r\n\r\n" + inner
    status = (b"Content-Type: message/delivery-status\r\n\r\n"
              b"Reporting-MTA: dns; mx.example.net\r\nArrival-Date: " +
              date_value(rng).encode() + b"\r\n\r\nFinal-Recipient: rfc822; nobody@example.org"
              b"\r\nAction: failed\r\nStatus: 5.1.1\r\n")
    notice = (b"Content-Type: text/plain\r\n\r\nThis is the mail system.\r\n"
              b"Your message could not be delivered.\r\n")
    header, body = multipart(rng, "report", [notice, status, returned],
                             extra_params="; report-type=delivery-status")
    lines = header_block(rng, first=[b"Return-Path: <>"],
                         extra=[b"MIME-Version: 1.0", header],
                         subject=b"Undelivered Mail Returned to Sender")
    return join_mail(lines, body)


def make_calendar(rng):
    calendar = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Example//Cal//EN\r\n"
                "METHOD:REQUEST\r\nBEGIN:VEVENT\r\nUID:" + f"{rng.getrandbits(48):x}" +
                "\r\nDTSTART:20240301T100000Z\r\nDTEND:20240301T110000Z\r\nSUMMARY:" +
                words(rng, 4) + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n").encode()
    cal_part = b"Content-Type: text/calendar; method=REQUEST; charset=utf-8\r\n\r\n" + calendar
    header, body = multipart(rng, "alternative", [text_part(rng), cal_part])
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def nested_body(rng, depth):
    if depth == 0:
        return text_part(rng) if rng.random() < 0.7 else attachment_part(rng)
    parts = [nested_body(rng, depth - 1) for _ in range(rng.randint(1, 2))]
    if rng.random() < 0.5:
        parts.append(text_part(rng, 2))
    header, body = multipart(rng, rng.choice(("mixed", "related", "alternative")), parts)
    return header + CRLF + CRLF + body


def make_nested(rng):
    inner = nested_body(rng, rng.randint(3, 5))
    header, _, body = inner.partition(CRLF + CRLF)
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def make_preamble_epilogue(rng):
    preamble = b"This is a multi-part message in MIME format.\r\n\r\n"
    epilogue = CRLF + prose(rng, rng.randint(1, 4))
    header, body = multipart(rng, "mixed", [text_part(rng), attachment_part(rng)],
                             preamble=preamble, epilogue=epilogue)
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def make_odd_boundary(rng):
    closed = rng.random() < 0.5
    header, body = multipart(rng, "mixed", [text_part(rng), attachment_part(rng)],
                             mark=boundary(rng, odd=True), closed=closed)
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def make_base64_widths(rng):
    width = rng.choice((76, 64, 72, 60, 100, None))
    text = prose(rng, rng.randint(3, 20))
    part = (b"Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64"
            b"\r\n\r\n" + base64_lines(text, width))
    header, body = multipart(rng, "mixed", [part, attachment_part(rng, width)])
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def make_qp_long(rng):
    text = b" ".join(words(rng, rng.randint(40, 200)).encode() + b" caf\xc3\xa9 = ok"
                     for _ in range(rng.randint(1, 4)))
    encoded = quopri.encodestring(text).replace(b"\n", CRLF)
    body = encoded if encoded.endswith(CRLF) else encoded + CRLF
    return mime_mail(rng, b"Content-Type: text/plain; charset=utf-8\r\n"
                          b"Content-Transfer-Encoding: quoted-printable", body)


def make_8bit_headers(rng):
    subject = rng.choice((b"R\xe9union de l'\xe9quipe", b"\xc3\x9cbersicht f\xc3\xbcr Q3",
                          b"\xb2\xe2\xca\xd4 \xd3\xca\xbc\xfe", b"\x1b$B%F%9%H\x1b(B"))
    lines = header_block(rng, subject=subject)
    lines.insert(1, b"X-Sender-Name: " + rng.choice((b"J\xf6rg M\xfcller", b"Ren\xc3\xa9e")))
    return join_mail(lines, prose(rng, rng.randint(2, 8)))


def make_many_received(rng):
    return join_mail(header_block(rng, trace=rng.randint(12, 45)), prose(rng, rng.randint(2, 6)))


def make_first_line(rng):
    first = rng.choice(([b"Return-Path: <bounce-" + str(rng.randint(1, 9999)).encode() +
                         b"@lists.example.org>"],
                        [b"From bounce@example.org " + asctime(rng)],
                        [b"X-Mozilla-Status: 0001", b"X-Mozilla-Status2: 00000000"],
                        [b"X-Original-To: team@example.org"],
                        [b"X-Account-Key: account3", b"X-UIDL: " +
                         str(rng.getrandbits(40)).encode()]))
    return join_mail(header_block(rng, first=first, trace=rng.randint(0, 2)),
                     prose(rng, rng.randint(2, 8)))


def make_no_date(rng):
    return join_mail(header_block(rng, date=False), prose(rng, rng.randint(1, 6)))


def make_tiny_body(rng):
    body = rng.choice((b"ok\r\n", b"x", b"\r\n", b"Yes.", b"-\r\n", b"ok"))
    return join_mail(header_block(rng, trace=rng.randint(0, 2)), body)


def make_headers_only(rng):
    lines = header_block(rng, trace=rng.randint(0, 3))
    return CRLF.join(lines) + CRLF + (CRLF if rng.random() < 0.5 else b"")


def make_big_attachment(rng):
    """An attachment of 64-400 KiB, more than one read of the scan holds."""
    size = rng.randint(48 << 10, 300 << 10)
    header, body = multipart(rng, "mixed", [text_part(rng), attachment_part(rng, 76, size)])
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def encoded_words(rng, text):
    encoded = base64.b64encode(text.encode()).decode()
    return "\r\n ".join(f"=?UTF-8?B?{encoded[at:at + 40]}?=" for at in range(0, len(encoded), 40))


def make_encoded_words(rng):
    subject = encoded_words(rng, "R\u00e9sum\u00e9 " + words(rng, rng.randint(6, 30)))
    lines = header_block(rng, subject=subject.encode())
    name, mail = address(rng)
    reply_name = encoded_words(rng, name + " \u00c5berg")
    lines.insert(1, f"Reply-To: {reply_name} <{mail}>".encode())
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


def make_forwarded(rng):
    """A mail whose only part is another whole mail, its trace lines and all."""
    inner = join_mail(header_block(rng, trace=rng.randint(1, 3)), prose(rng, rng.randint(2, 6)))
    return mime_mail(rng, b"Content-Type: message/rfc822", inner, trace=0)


def make_html_only(rng):
    paragraphs = "".join(f"<p style=\"margin:0\">{words(rng, rng.randint(5, 40))}</p>"
                         for _ in range(rng.randint(3, 30)))
    body = f"<html><head><meta charset=\"utf-8\"></head><body>{paragraphs}</body></html>"
    return mime_mail(rng, b"Content-Type: text/html; charset=utf-8", body.encode())


STRUCTURES = {
    "uuencode": make_uuencode,
    "binary-part": make_binary_part,
    "control-text": make_control_text,
    "8bit-long-lines": make_8bit_long_lines,
    "bounce": make_bounce,
    "calendar": make_calendar,
    "nested": make_nested,
    "preamble-epilogue": make_preamble_epilogue,
    "odd-boundary": make_odd_boundary,
    "base64-widths": make_base64_widths,
    "qp-long": make_qp_long,
    "8bit-headers": make_8bit_headers,
    "many-received": make_many_received,
    "first-line": make_first_line,
    "no-date": make_no_date,
    "tiny-body": make_tiny_body,
    "headers-only": make_headers_only,
    "big-attachment": make_big_attachment,
    "encoded-words": make_encoded_words,
    "forwarded": make_forwarded,
    "html-only": make_html_only,
}


def synthetic_mails(seed, count):
    """(file name, bytes) of `count` mails, the structures taken in turn, each drawn by
    (seed, number)."""
    names = list(STRUCTURES)
    mails = []
    for number in range(count):
        structure = names[number % len(names)]
        rng = random.Random(f"synthetic-{seed}-{number}")
        mails.append((f"{number:04d}-{structure}.eml", STRUCTURES[structure](rng)))
    return mails


def write_mails(folder, seed, count):
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    for name, text in synthetic_mails(seed, count):
        (folder / name).write_bytes(text)

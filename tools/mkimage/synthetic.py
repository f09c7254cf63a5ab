"""Mails that come from no corpus: structures real mail and parser fixtures have and few corpus
mails show (uuencoded bodies, binary parts, bounces, calendars, deep nesting, odd boundaries,
base64 and quoted-printable of every line length, 8-bit headers, long trace stacks, first lines
that are no usual field, tiny bodies, header blocks alone), and what signers, list servers and
mail programs write (S/MIME and PGP bodies, winmail.dat parts, flowed text, inline images,
digests, read receipts, long, lower-case, unblanked or tab-folded fields, folded keys, odd dates).

Every mail is drawn from a seed and its number alone, so the same seed writes the same files;
its file name says which structure it has (`0007-uuencode.eml`), which the figures of an image
built from them can be split by. Lines end in CR LF, except inside parts whose transfer encoding
allows raw bytes and in the `lf-body` mails, whose body or header block ends its lines in bare LF.
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


# Structures of everyday mail programs, signers and servers.

def armour(rng, kind, size):
    """An ASCII-armoured block of random bytes as PGP programs write it."""
    data = base64_lines(rng.randbytes(size), 64)
    checksum = b"=" + base64.b64encode(rng.randbytes(3))
    return (b"-----BEGIN PGP " + kind + b"-----\r\n" + rng.choice((b"", b"Comment: x\r\n")) +
            b"\r\n" + data + checksum + b"\r\n-----END PGP " + kind + b"-----\r\n")


def make_smime_signed(rng):
    signature = (b"Content-Type: application/pkcs7-signature; name=\"smime.p7s\"\r\n"
                 b"Content-Transfer-Encoding: base64\r\n"
                 b"Content-Disposition: attachment; filename=\"smime.p7s\"\r\n\r\n" +
                 base64_lines(rng.randbytes(rng.randint(1500, 5000)), 76))
    header, body = multipart(rng, "signed", [text_part(rng), signature],
                             extra_params='; protocol="application/pkcs7-signature"; '
                                          'micalg=sha-256')
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def make_smime_opaque(rng):
    kind = rng.choice((b"enveloped-data", b"signed-data"))
    content = (b"Content-Type: application/pkcs7-mime; smime-type=" + kind +
               b"; name=\"smime.p7m\"\r\nContent-Transfer-Encoding: base64\r\n"
               b"Content-Disposition: attachment; filename=\"smime.p7m\"")
    return mime_mail(rng, content, base64_lines(rng.randbytes(rng.randint(800, 9000)), 64))


def make_pgp_mime(rng):
    if rng.random() < 0.5:
        control = b"Content-Type: application/pgp-encrypted\r\n\r\nVersion: 1\r\n"
        data = (b"Content-Type: application/octet-stream; name=\"encrypted.asc\"\r\n\r\n" +
                armour(rng, b"MESSAGE", rng.randint(300, 4000)))
        header, body = multipart(rng, "encrypted", [control, data],
                                 extra_params='; protocol="application/pgp-encrypted"')
    else:
        signature = (b"Content-Type: application/pgp-signature; name=\"signature.asc\"\r\n\r\n" +
                     armour(rng, b"SIGNATURE", rng.randint(100, 600)))
        header, body = multipart(rng, "signed", [text_part(rng), signature],
                                 extra_params='; micalg=pgp-sha256; '
                                              'protocol="application/pgp-signature"')
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def make_pgp_inline(rng):
    text = prose(rng, rng.randint(2, 10))
    # Signed text escapes its lines that open with a dash (RFC 4880 section 7.1).
    text += b"- -- \r\n" + prose(rng, 1) if rng.random() < 0.5 else b""
    body = (b"-----BEGIN PGP SIGNED MESSAGE-----\r\nHash: SHA256\r\n\r\n" + text +
            armour(rng, b"SIGNATURE", rng.randint(100, 600)))
    if rng.random() < 0.3:
        body = prose(rng, 1) + CRLF + armour(rng, b"MESSAGE", rng.randint(200, 3000))
    return join_mail(header_block(rng), body)


def make_tnef(rng):
    data = b"\x78\x9f\x3e\x22" + rng.randbytes(rng.randint(500, 8000))
    part = (b"Content-Type: application/ms-tnef; name=\"winmail.dat\"\r\n"
            b"Content-Transfer-Encoding: base64\r\n"
            b"Content-Disposition: attachment; filename=\"winmail.dat\"\r\n\r\n" +
            base64_lines(data, 76))
    header, body = multipart(rng, "mixed", [text_part(rng), part])
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def make_format_flowed(rng):
    """Soft line breaks as a trailing blank, quoted lines and a signature separator."""
    lines = []
    for _ in range(rng.randint(2, 6)):
        paragraph = [words(rng, rng.randint(4, 10)).encode() + b" "
                     for _ in range(rng.randint(1, 5))]
        paragraph[-1] = paragraph[-1].rstrip()
        if rng.random() < 0.4:
            paragraph = [b"> " + line for line in paragraph]
        lines += paragraph + [b""]
    lines += [b"-- ", rng.choice(NAMES).encode()]
    return mime_mail(rng, b"Content-Type: text/plain; charset=utf-8; format=flowed; delsp=yes"
                          b"\r\nContent-Transfer-Encoding: 7bit", CRLF.join(lines) + CRLF)


def make_inline_images(rng):
    images, markup = [], ""
    for number in range(rng.randint(1, 3)):
        cid = f"image{number:03d}.png@{rng.getrandbits(32):08X}.{rng.getrandbits(32):08X}"
        markup += f'<p>{words(rng, 6)}</p><img src="cid:{cid}" width="64">\r\n'
        images.append((f"Content-Type: image/png; name=\"image{number:03d}.png\"\r\n"
                       f"Content-Transfer-Encoding: base64\r\nContent-ID: <{cid}>\r\n"
                       f"Content-Disposition: inline; filename=\"image{number:03d}.png\"\r\n\r\n"
                       ).encode() + base64_lines(b"\x89PNG\r\n\x1a\n" +
                                                 rng.randbytes(rng.randint(300, 5000)), 76))
    html = (b"Content-Type: text/html; charset=utf-8\r\n\r\n<html><body>\r\n" +
            markup.encode() + b"</body></html>\r\n")
    if rng.random() < 0.5:  # alternative inside related
        alternative, alternative_body = multipart(rng, "alternative", [text_part(rng), html])
        header, body = multipart(rng, "related",
                                 [alternative + CRLF + CRLF + alternative_body] + images)
    else:  # related inside alternative
        related, related_body = multipart(rng, "related", [html] + images)
        header, body = multipart(rng, "alternative",
                                 [text_part(rng), related + CRLF + CRLF + related_body])
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header]), body)


def make_digest(rng):
    """A list digest: its parts are mails without a Content-Type of their own."""
    parts = [CRLF + join_mail(header_block(rng, trace=0), prose(rng, rng.randint(1, 6)))
             for _ in range(rng.randint(2, 5))]
    header, body = multipart(rng, "digest", parts)
    lines = header_block(rng, extra=[b"MIME-Version: 1.0", header],
                         subject=b"Team digest, Vol " + str(rng.randint(1, 90)).encode())
    return join_mail(lines, body)


def make_read_receipt(rng):
    notice = b"Content-Type: text/plain; charset=utf-8\r\n\r\n" + prose(rng, 2)
    disposition = (b"Content-Type: message/disposition-notification\r\n\r\n"
                   b"Reporting-UA: mail.example.org\r\nFinal-Recipient: rfc822; "
                   b"dana@example.org\r\nOriginal-Message-ID: <" +
                   f"{rng.getrandbits(64):016x}".encode() + b"@example.com>\r\n"
                   b"Disposition: manual-action/MDN-sent-manually; displayed\r\n")
    header, body = multipart(rng, "report", [notice, disposition],
                             extra_params="; report-type=disposition-notification")
    return join_mail(header_block(rng, extra=[b"MIME-Version: 1.0", header],
                                  subject=b"Read: " + words(rng, 3).encode()), body)


def make_lf_body(rng):
    """A header in CR LF with a body in bare LF lines, or the other way round."""
    lines = header_block(rng, trace=rng.randint(0, 2))
    body = prose(rng, rng.randint(2, 10))
    if rng.random() < 0.5:
        return join_mail(lines, body.replace(CRLF, b"\n"))
    return b"\n".join(lines).replace(CRLF, b"\n") + b"\n\n" + body


def make_long_header_line(rng):
    """One field of more than 998 bytes on a single line."""
    references = " ".join(f"<{rng.getrandbits(64):016x}@{rng.choice(DOMAINS)}>"
                          for _ in range(rng.randint(30, 80)))
    name = rng.choice((b"References: ", b"X-Spam-Report: ", b"Cc: "))
    value = references.encode() if name != b"X-Spam-Report: " else words(rng, 300).encode()
    if name == b"Cc: ":
        value = ", ".join(f"{address(rng)[1]}" for _ in range(rng.randint(70, 120))).encode()
    lines = header_block(rng)
    lines.insert(rng.randint(0, len(lines)), name + value)
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


def make_lower_case(rng):
    lines = [line[:line.index(b":")].lower() + line[line.index(b":"):]
             if not line.startswith((b" ", b"\t")) else line
             for line in CRLF.join(header_block(rng)).split(CRLF)]
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


def make_no_blank(rng):
    """Fields with nothing between the colon and the value (From and Date keep theirs)."""
    lines = [line.replace(b": ", b":", 1)
             if line.startswith((b"To:", b"Subject:", b"Message-ID:", b"X-Mailer:")) else line
             for line in header_block(rng, extra=[b"X-Mailer: " + words(rng, 2).encode()])]
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


def make_tab_folding(rng):
    subject = words(rng, rng.randint(8, 20)).encode().replace(b" ", b"\r\n\t", 3)
    lines = header_block(rng, subject=subject, trace=rng.randint(1, 3))
    lines.insert(-1, b"Thread-Topic:\r\n\t" + words(rng, 5).encode())
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


def make_address_list(rng):
    """A To or Cc field folded over about 30 lines."""
    entries = [f"\"{rng.choice(NAMES)}\" <{rng.choice(NAMES).split()[1].lower()}"
               f"{number}@{rng.choice(DOMAINS)}>" for number in range(rng.randint(25, 35))]
    field = rng.choice((b"Cc: ", b"To: ", b"Bcc: ")) + ",\r\n ".join(entries).encode()
    lines = header_block(rng)
    lines.insert(rng.randint(1, len(lines)), field)
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


def folded_base64(rng, size, first):
    encoded = base64.b64encode(rng.randbytes(size)).decode()
    width = rng.choice((70, 72, 76))
    return "\r\n\t ".join([encoded[:width - first]] +
                          [encoded[at:at + width] for at in range(width - first, len(encoded),
                                                                   width)])


def make_signing_fields(rng):
    """DKIM, ARC and Autocrypt fields: keys and signatures folded over many lines."""
    domain = rng.choice(DOMAINS)
    fields = [
        f"DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d={domain}; s=s2048;\r\n\t"
        f"h=from:to:subject:date:message-id; bh={folded_base64(rng, 32, 30)};\r\n\t"
        f"b={folded_base64(rng, 256, 4)}".encode(),
        f"ARC-Seal: i=1; a=rsa-sha256; t={rng.getrandbits(31)}; cv=none; d={domain}; "
        f"s=arc;\r\n\tb={folded_base64(rng, 256, 10)}".encode(),
        f"ARC-Authentication-Results: i=1; mx.{domain};\r\n\tdkim=pass header.d={domain};"
        f"\r\n\tspf=pass smtp.mailfrom={domain}".encode(),
        f"Autocrypt: addr=alice@{domain}; prefer-encrypt=mutual; keydata=\r\n "
        f"{folded_base64(rng, rng.randint(600, 2400), 0)}".encode(),
    ]
    rng.shuffle(fields)
    lines = header_block(rng, trace=rng.randint(1, 3))
    at = rng.randint(0, len(lines))
    lines[at:at] = fields[:rng.randint(2, 4)]
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


def make_exchange_fields(rng):
    index = base64.b64encode(rng.randbytes(rng.choice((22, 27, 32, 47)))).decode()
    fields = [f"Thread-Topic: {words(rng, 4)}", f"Thread-Index: {index}",
              "X-MS-Has-Attach: ", "X-MS-TNEF-Correlator: ",
              "x-ms-exchange-transport-fromentityheader: Hosted",
              f"X-MS-Exchange-Organization-SCL: {rng.randint(-1, 5)}",
              f"X-MS-Exchange-CrossTenant-id: {rng.getrandbits(128):032x}",
              f"X-MS-Exchange-AntiSpam-MessageData-0:\r\n "
              f"{folded_base64(rng, rng.randint(300, 1500), 0)}",
              "x-originating-ip: [192.0.2." + str(rng.randint(1, 254)) + "]",
              "Content-Language: en-US", "acceptlanguage: en-US"]
    lines = header_block(rng, extra=[field.encode() for field in fields])
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


def make_list_fields(rng):
    name = rng.choice(("team", "announce", "dev", "users"))
    domain = rng.choice(DOMAINS)
    fields = [f"List-Id: {name.capitalize()} list <{name}.lists.{domain}>",
              f"List-Unsubscribe: <mailto:{name}-leave@lists.{domain}>,\r\n "
              f"<https://lists.{domain}/options/{name}>",
              "List-Unsubscribe-Post: List-Unsubscribe=One-Click",
              f"List-Archive: <https://lists.{domain}/archive/{name}/>",
              f"List-Post: <mailto:{name}@lists.{domain}>",
              f"List-Help: <mailto:{name}-request@lists.{domain}?subject=help>",
              f"List-Subscribe: <mailto:{name}-join@lists.{domain}>", "Precedence: list",
              f"Sender: \"{name}\" <{name}-bounces@lists.{domain}>",
              f"Errors-To: {name}-bounces@lists.{domain}"]
    lines = header_block(rng, trace=rng.randint(1, 4), extra=[f.encode() for f in fields],
                         subject=f"[{name}] {words(rng, 4)}".encode())
    footer = (f"_______________________________________________\r\n{name} mailing list\r\n"
              f"{name}@lists.{domain}\r\nhttps://lists.{domain}/listinfo/{name}\r\n").encode()
    return join_mail(lines, prose(rng, rng.randint(2, 8)) + footer)


def make_8bit_no_charset(rng):
    """Latin-1 text with no Content-Type and no charset to say so."""
    body = prose(rng, rng.randint(3, 10))
    for accent in rng.choices((b"\xe9", b"\xfc", b"\xe5", b"\xdf", b"\xe8"), k=8):
        at = body.rfind(b" ", 0, rng.randrange(1, len(body)))
        if at > 0:
            body = body[:at] + b" " + accent + body[at + 1:]
    return join_mail(header_block(rng), body)


def make_rule_lines(rng):
    """Long runs of dashes, equals signs or underscores between paragraphs."""
    rules = [mark * rng.randint(40, 200) for mark in (b"-", b"=", b"_", b"*")]
    body = b""
    for _ in range(rng.randint(2, 5)):
        body += prose(rng, rng.randint(1, 4)) + rng.choice(rules) + CRLF
    body += b"-----Original Message-----\r\n" + prose(rng, 2)
    return join_mail(header_block(rng), body)


def make_blank_tail(rng):
    """A body that ends in a run of empty lines, or an empty body with a final line break."""
    body = prose(rng, rng.randint(1, 6)) if rng.random() < 0.7 else b""
    return join_mail(header_block(rng, trace=rng.randint(0, 2)),
                     body + CRLF * rng.randint(1, 12))


def make_date_first(rng):
    lines = header_block(rng, trace=rng.randint(0, 2))
    date = next(line for line in lines if line.startswith(b"Date: "))
    lines.remove(date)
    first_field = next(at for at, line in enumerate(lines) if line.startswith(b"From: "))
    lines.insert(rng.choice((0, first_field)), date)
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


def odd_date(rng):
    day, month, year = rng.randint(1, 28), rng.choice(MONTHS), rng.randint(1998, 2024)
    hour, minute, second = rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59)
    return rng.choice((
        f"{day} {month} {year % 100:02d} {hour:02d}:{minute:02d} EST",
        f"{rng.choice(DAYS)},  {day} {month} {year} {hour:02d}:{minute:02d}:{second:02d} "
        f"+0100 (CET)",
        f"{rng.choice(DAYS)}, {day:02d} {month} {year} {hour:02d}:{minute:02d}:{second:02d} GMT",
        f"{rng.choice(DAYS)}day, {day:02d}-{month}-{year % 100:02d} {hour:02d}:{minute:02d}:"
        f"{second:02d} +0000",
        f"{rng.choice(DAYS)} {month} {day:2d} {hour:02d}:{minute:02d}:{second:02d} {year}",
        f"{year}-{MONTHS.index(month) + 1:02d}-{day:02d} {hour:02d}:{minute:02d}:{second:02d}",
        f"{day} {month.upper()} {year} {hour}:{minute:02d} UT",
        f"{rng.choice(DAYS)}, {day} {month} {year} {hour:02d}.{minute:02d}.{second:02d} -0800"))


def make_odd_date(rng):
    lines = [b"Date: " + odd_date(rng).encode() if line.startswith(b"Date: ") else line
             for line in header_block(rng, trace=rng.randint(0, 2))]
    return join_mail(lines, prose(rng, rng.randint(2, 6)))


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
    "smime-signed": make_smime_signed,
    "smime-opaque": make_smime_opaque,
    "pgp-mime": make_pgp_mime,
    "pgp-inline": make_pgp_inline,
    "tnef": make_tnef,
    "format-flowed": make_format_flowed,
    "inline-images": make_inline_images,
    "digest": make_digest,
    "read-receipt": make_read_receipt,
    "lf-body": make_lf_body,
    "long-header-line": make_long_header_line,
    "lower-case": make_lower_case,
    "no-blank": make_no_blank,
    "tab-folding": make_tab_folding,
    "address-list": make_address_list,
    "signing-fields": make_signing_fields,
    "exchange-fields": make_exchange_fields,
    "list-fields": make_list_fields,
    "8bit-no-charset": make_8bit_no_charset,
    "rule-lines": make_rule_lines,
    "blank-tail": make_blank_tail,
    "date-first": make_date_first,
    "odd-date": make_odd_date,
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

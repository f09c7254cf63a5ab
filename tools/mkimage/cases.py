"""Variants of a mail's text for the mixed layout: what mails look like when they were not
written by the mail program the classic trace-line rule was made for.

Every variant is worked out from the original bytes alone (plus the seeded generator), so an
image stays reproducible. Header fields are found on the top-level header block as a reader
that takes CR LF or bare LF line ends sees it (mailtext.shape_lines).
"""

import re

from . import mailtext

# Cases and their share of the mails, in percent; "plain" takes the rest. Each case names what
# a carver has to cope with to find the mail whole.
CASE_SHARES = (
    ("embedded", 4),            # the mail is attached inside a forward as message/rfc822
    ("duplicate", 6),           # the same mail two or three times: a live and deleted copies
    ("first-return-path", 3),   # the header begins with another line than a trace line
    ("first-delivered-to", 3),
    ("first-x-uidl", 3),
    ("first-message-id", 3),
    ("no-trace", 8),            # every Received line removed
    ("long-header", 5),         # 5 to 20 KB of signature and relay headers before From
    ("no-to", 4),               # every To line removed
    ("lf", 6),                  # bare LF line ends
)
CASES = ("plain",) + tuple(name for name, _share in CASE_SHARES)
LONG_HEADER_NAMES = (b"DKIM-Signature", b"ARC-Seal", b"ARC-Message-Signature",
                     b"ARC-Authentication-Results", b"X-Received", b"Authentication-Results",
                     b"X-Google-DKIM-Signature", b"X-Gm-Message-State", b"X-Google-Smtp-Source")
BASE64_ALPHABET = b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
FOLD_WIDTH = 76
CRLF = b"\r\n"
_ADDRESS = re.compile(rb"<([^<>\s@]+@[^<>\s@]+)>|([^<>\s@,;:\"]+@[A-Za-z0-9.-]+)")


def case_deck(count, rng):
    """One case per mail: every case at least once when there are mails enough (in the order
    of CASE_SHARES), then by share, the rest plain; shuffled."""
    deck = []
    for name, share in CASE_SHARES:
        wanted = max(1, round(share * count / 100))
        deck += [name] * min(wanted, count - len(deck))
    deck += ["plain"] * (count - len(deck))
    rng.shuffle(deck)
    return deck


def header_fields(text):
    """The top-level header fields as (lower-case name, start, end), `end` behind the line end
    of the field's last line; and the position of the block's first line."""
    header_start, lines, _header_end = mailtext.shape_lines(text)
    fields = []
    for start, end in lines:
        line_end = text.find(b"\n", end) + 1
        if text[start:start + 1] in (b" ", b"\t") and fields:
            name, field_start, _ = fields[-1]
            fields[-1] = (name, field_start, line_end)
            continue
        colon = text.find(b":", start, end)
        name = text[start:colon].strip().lower() if colon > start else b""
        fields.append((name, start, line_end))
    return fields, header_start


def without_fields(text, name):
    fields, _start = header_fields(text)
    for field_name, start, end in reversed(fields):
        if field_name == name:
            text = text[:start] + text[end:]
    return text


def first_field(text, name):
    fields, _start = header_fields(text)
    for field_name, start, end in fields:
        if field_name == name:
            return text[start:end]
    return None


def header_first(text, line):
    """The text with the lines of nothing but blanks it may begin with dropped and `line`
    (which ends with CR LF) put in front."""
    _fields, header_start = header_fields(text)
    return line + text[header_start:]


def first_address(text, name, default):
    field = first_field(text, name)
    match = _ADDRESS.search(field or b"")
    return (match.group(1) or match.group(2)) if match else default


def folded(name, value):
    """A header field folded at FOLD_WIDTH bytes with tab-led continuation lines."""
    head = name + b": "
    first = FOLD_WIDTH - len(head)
    lines = [head + value[:first]]
    for at in range(first, len(value), FOLD_WIDTH - 1):
        lines.append(b"\t" + value[at:at + FOLD_WIDTH - 1])
    return CRLF.join(lines) + CRLF


def random_base64(rng, length):
    return bytes(rng.choice(BASE64_ALPHABET) for _ in range(length))


def long_header_block(rng, size):
    """At least `size` bytes of the signature, seal and relay fields big providers add."""
    block = bytearray()
    while len(block) < size:
        name = rng.choice(LONG_HEADER_NAMES)
        if name == b"X-Received":
            value = (b"by 2002:a05:6a00:%x:b0:%x with SMTP id %s; Mon, 3 Mar 2008 10:%02d:00 "
                     b"-0800 (PST)" % (rng.randrange(1 << 16), rng.randrange(1 << 16),
                                       random_base64(rng, 20), rng.randrange(60)))
        else:
            value = (b"i=1; a=rsa-sha256; c=relaxed/relaxed; d=example.com; s=2023; "
                     b"h=to:subject:message-id:date:from:mime-version; bh=" +
                     random_base64(rng, 44) + b"; b=" + random_base64(rng, rng.randint(200, 700)))
        block += folded(name, value)
    return bytes(block)


def forward_wrapper(text, number, rng):
    """A forward of our own that carries `text` as a message/rfc822 attachment."""
    boundary = b"fwd-boundary-%d-%s" % (number, random_base64(rng, 12).replace(b"/", b"."))
    inner = text if text.endswith(b"\n") else text + CRLF
    minute = rng.randrange(60)
    head = CRLF.join([
        b"Received: from relay%d.example.net (relay%d.example.net [198.51.100.%d])" %
        (number, number, number % 250 + 1),
        b"\tby mx.example.org with ESMTP id F%06d; Mon, 7 Apr 2008 10:%02d:05 +0000" %
        (number, minute),
        b"Received: from client%d.example.net by relay%d.example.net; "
        b"Mon, 7 Apr 2008 10:%02d:01 +0000" % (number, number, minute),
        b"From: Forwarder %d <forwarder%d@example.net>" % (number, number),
        b"To: Reader <reader@example.org>",
        b"Subject: Fwd: attached message %d" % number,
        b"Date: Mon, 7 Apr 2008 10:%02d:00 +0000" % minute,
        b"Message-ID: <fwd.%d@example.net>" % number,
        b"MIME-Version: 1.0",
        b"Content-Type: multipart/mixed; boundary=\"" + boundary + b"\"",
        b"", b"This is a multi-part message in MIME format.", b"",
        b"--" + boundary, b"Content-Type: text/plain; charset=us-ascii", b"",
        b"The message below is forwarded as an attachment.", b"",
        b"--" + boundary, b"Content-Type: message/rfc822",
        b"Content-Disposition: attachment; filename=\"forwarded.eml\"", b"", b""])
    return head + inner + b"--" + boundary + b"--" + CRLF


def apply_case(case, text, rng, number):
    """The mail's text as the case has it. `number` makes invented identifiers unique."""
    if case in ("plain", "duplicate"):
        return text
    if case == "embedded":
        return forward_wrapper(text, number, rng)
    if case == "first-return-path":
        address = first_address(text, b"from", b"sender@example.com")
        return header_first(without_fields(text, b"return-path"),
                            b"Return-Path: <" + address + b">" + CRLF)
    if case == "first-delivered-to":
        address = first_address(text, b"to", b"reader@example.org")
        return header_first(text, b"Delivered-To: " + address + CRLF)
    if case == "first-x-uidl":
        return header_first(text, b"X-UIDL: " + random_base64(rng, 24).replace(b"/", b"x") +
                            CRLF)
    if case == "first-message-id":
        field = first_field(text, b"message-id")
        if field is None:
            field = b"Message-ID: <mixed.%d@example.com>" % number + CRLF
        return header_first(without_fields(text, b"message-id"), field)
    if case == "no-trace":
        return without_fields(text, b"received")
    if case == "long-header":
        return with_long_header(text, rng)
    if case == "no-to":
        return without_fields(text, b"to")
    if case == "lf":
        return text.replace(CRLF, b"\n")
    raise ValueError(f"unknown case {case}")


def with_long_header(text, rng):
    """Adds 5 to 20 KB of header fields right before From (or at the header's end), so that
    the header block runs well past 8 sectors behind any trace line."""
    fields, header_start = header_fields(text)
    at = next((start for name, start, _end in fields if name == b"from"), None)
    if at is None:
        at = fields[-1][2] if fields else header_start
    return text[:at] + long_header_block(rng, rng.randint(5000, 20000)) + text[at:]

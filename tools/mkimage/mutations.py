"""Mutations of a whole mail, one axis of difference per case: the ways mail programs, export
tools and archives write a mail unlike the corpus does (a banner or another mailbox line first,
control bytes in a field, very long lines or blocks, From and Date late in the block, odd dates,
mixed or bare line ends, unusual field names and folds, tiny mails). Each is worked out from the
original bytes and the seeded generator alone; `apply_mutation` returns None for a case it does
not know, and the text unchanged where the mail does not fit the case.
"""

import base64
import hashlib

from . import cases, header_shapes, mailtext

BANNERS = (b"Exported by MailArchive 3.2 on 2011-05-04 10:22:31",
           b"Message 12 of 348", b"*** MESSAGE FOLLOWS ***", b"Saved message, folder Inbox",
           b"=== Mail export ===")
OTHER_MAILBOX_LINES = (b"From - Mon Mar 03 10:00:00 2008", b"From ???@??? Mon Mar  3 10:00:00 2008",
                       b"\x01\x01\x01\x01", b"\x0c", b"From: MAILER-DAEMON Mon Mar  3 10:00:00 2008")
GT_FROM_LINE = b">From sender@example.com Mon Mar  3 10:00:00 2008"
CONTROL_BYTES = (b"\x01", b"\x02", b"\x07", b"\x08", b"\x0b", b"\x0c", b"\x1b", b"\x7f")
ODD_DATES = (b"2008-03-03 10:00:00", b"Mon,  3 Mar 08 10:00 EST", b"3 Mar 2008 10:00:00 GMT",
             b"Monday, March 03, 2008 10:00 AM", b"Mon Mar  3 10:00:00 2008",
             b"03/03/2008 10:00", b"Mon, 3 Mar 2008 10:00:00 +0000 (UTC)   ",
             b"Mon,3 Mar 2008 10:00:00 +0000")
EIGHT_BIT_NAMES = (b"X-R\xc3\xa9f\xc3\xa9rence", b"X-Pri\xf6rit\xe4t", b"\xd0\x9e\xd1\x82")
# Lines a broken mail program leaves among the header fields: a value run on without its fold.
STRAY_LINES = (b"and the rest of a subject that lost its fold", b"continued here (no indent)",
               b"= =?utf-8?q?tail?=")
ODD_NAMES = (b"X_Mailer_Info", b"X-Spam.Score", b"X-MS-Has-Attach2", b"X.400-Received",
             b"X-Filter_Id.3")
MUTATIONS = ("mut-banner", "mut-gt-from", "mut-mailbox-other", "mut-nul-field",
             "mut-control-field", "mut-long-first", "mut-long-512", "mut-long-folded",
             "mut-many-lines", "mut-huge-block", "mut-from-date-last", "mut-odd-date",
             "mut-no-blank", "mut-body-no-crlf", "mut-lf-header", "mut-lf-body", "mut-cr-only",
             "mut-duplicate-fields", "mut-8bit-name", "mut-odd-name", "mut-blank-fold",
             "mut-header-at-end", "mut-tiny", "mut-rfc822-only", "mut-received-fold",
             "mut-bom", "mut-space-colon", "mut-stray-line", "mut-stray-token",
             "mut-fold-at-name", "mut-empty-from")
# How real mail differs from the corpus beyond the cases above: bounces, very long reference
# lines, dates and names in other languages and charsets, folds of a tab alone, bare headers.
REAL_MAIL_MUTATIONS = ("mut-bounce", "mut-long-references", "mut-foreign-date", "mut-gbk-header",
                       "mut-cp1252-name", "mut-tab-fold", "mut-three-fields")
MUTATIONS += REAL_MAIL_MUTATIONS


def block_of(text):
    """(first header line, position of the closing empty line or None, the block's line end)."""
    start, _lines, closing = mailtext.shape_lines(text)
    return start, closing, header_shapes.newline_of(text)


def before_name(text, names):
    """Where the first field of `names` begins, else the block's closing line, else None."""
    fields, _start = cases.header_fields(text)
    at = next((start for name, start, _end in fields if name in names), None)
    if at is None:
        _start, closing, _newline = block_of(text)
        return closing
    return at


def insert_before(text, names, lines):
    at = before_name(text, names)
    return text if at is None else text[:at] + lines + text[at:]


def in_value(text, name, extra):
    """`extra` put into the middle of the first `name` field's first line."""
    field = cases.first_field(text, name)
    if field is None:
        return text
    first_line = field.split(b"\n", 1)[0]
    middle = len(first_line) // 2 + 1
    return text.replace(field, field[:middle] + extra + field[middle:], 1)


def words(rng, length):
    line = b""
    while len(line) < length:
        line += rng.choice((b"alpha", b"relay", b"id", b"mx", b"example", b"net")) + b" "
    return line[:length].rstrip() or b"x"


def long_field(rng, length, newline):
    return b"X-Long-Field: " + words(rng, length - 14) + newline


def long_folded(rng, newline):
    """A field whose second line is longer than 998 bytes."""
    return (b"X-Folded-Long: short first line" + newline + b"\t" + words(rng, 1200) + newline)


def fields_moved_last(text):
    start, closing, newline = block_of(text)
    if closing is None:
        return text
    moved = b""
    for name in (b"from", b"date"):
        field = cases.first_field(text, name)
        if field is not None:
            text = cases.without_fields(text, name)
            moved += field
    _start, closing, _newline = block_of(text)
    return text[:closing] + moved + text[closing:]


def with_odd_date(text, rng):
    field = cases.first_field(text, b"date")
    if field is None:
        return text
    newline = header_shapes.newline_of(text)
    return text.replace(field, b"Date: " + rng.choice(ODD_DATES) + newline, 1)


def without_blank_line(text):
    start, closing, _newline = block_of(text)
    if closing is None:
        return text
    body = header_shapes.header_end_of(text)[1]
    return text[:closing] + text[body:]


def split_line_ends(text, header_lf):
    """LF-only in the header and CR LF in the body (`header_lf`), or the other way round."""
    _start, end = header_shapes.header_end_of(text)
    head, body = text[:end], text[end:]
    crlf_head, crlf_body = head.replace(b"\r\n", b"\n"), body.replace(b"\r\n", b"\n")
    if header_lf:
        return crlf_head + crlf_body.replace(b"\n", b"\r\n")
    return crlf_head.replace(b"\n", b"\r\n") + crlf_body


def duplicated_fields(text):
    for name in (b"from", b"date", b"subject"):
        field = cases.first_field(text, name)
        if field is not None:
            text = text.replace(field, field + field, 1)
    return text


def blank_fold(text, newline):
    field = cases.first_field(text, b"subject")
    if field is None:
        return text
    line_end = len(field) - len(field.rstrip(b"\r\n"))
    return text.replace(field, field[:-line_end] + newline + b" " + newline + b"\t\t" + newline +
                        b" end" + newline, 1)


def tiny_mail(text):
    """From, Date and a short Subject and body: well under 100 bytes where the fields allow."""
    newline = header_shapes.newline_of(text)
    from_field = b"From: a@b.c" + newline
    date_field = cases.first_field(text, b"date")
    if date_field is None:
        return text
    date = b" ".join(date_field.split())  # unfolded
    return from_field + date + newline + b"Subject: hi" + newline + newline + b"ok" + newline


def rfc822_only(text, number):
    """An outer block of a few fields whose whole body is the mail as message/rfc822."""
    newline = header_shapes.newline_of(text)
    date = cases.first_field(text, b"date") or b"Date: Mon, 3 Mar 2008 10:00:00 +0000" + newline
    head = newline.join([b"From: Archive <archive@example.org>", date.rstrip(b"\r\n"),
                         b"Subject: archived message %d" % number, b"MIME-Version: 1.0",
                         b"Content-Type: message/rfc822", b"", b""])
    return head + text


def received_folded(text):
    """The first Received field alone of its kind, folded right behind its name."""
    field = cases.first_field(text, b"received")
    if field is None:
        return text
    newline = header_shapes.newline_of(text)
    text = cases.without_fields(text, b"received")
    value = field[len(b"Received:"):].lstrip(b" \t")
    start, _closing, _newline = block_of(text)
    return text[:start] + b"Received:" + newline + b"\t" + value + text[start:]


def folded_at_names(text, names):
    """Each of `names` (its first field) folded right behind its colon and blank (the blank
    kept: the measures' truth knows From and Date by "From: " and "Date: ")."""
    newline = header_shapes.newline_of(text)
    for name in names:
        field = cases.first_field(text, name)
        if field is None:
            continue
        colon = field.index(b":")
        value = field[colon + 1:].lstrip(b" \t")
        text = text.replace(field, field[:colon + 1] + b" " + newline + b"\t" + value, 1)
    return text


FOREIGN_DATES = (b"Mo, 3 M\xe4r 2008 10:00:00 +0100", b"lun., 03 mars 2008 10:00:00 +0100",
                 b"Mon, 3 Mar 08 10:00:00 +0000", b"3 Mar 08 10:00 GMT",
                 b"\xe5\x91\xa8\xe4\xb8\x80, 3 3\xe6\x9c\x88 2008 10:00:00 +0800",
                 b"Ma, 3 maa 2008 10:00:00 +0100")
GBK_NAMES = (b"\xd5\xc5\xc8\xfd", b"\xc0\xee\xcb\xc4 \xb2\xe2\xca\xd4")
BOUNCE_SENDERS = (b"MAILER-DAEMON@mx.example.net (Mail Delivery System)",
                  b"postmaster@relay.example.com",
                  b"Mail Delivery Subsystem <mailer-daemon@example.org>")


def bounce(text, rng, number):
    """A delivery report that returns the mail: a report text, a delivery-status part and the
    mail itself or its header block alone."""
    newline = header_shapes.newline_of(text)
    date = cases.first_field(text, b"date") or b"Date: Mon, 3 Mar 2008 10:00:00 +0000" + newline
    boundary = b"report-%d-%d" % (number, rng.randint(1000, 9999))
    headers_only = rng.random() < 0.5
    returned = text[:header_shapes.header_end_of(text)[1]] if headers_only else text
    lines = [b"From: " + rng.choice(BOUNCE_SENDERS), date.rstrip(b"\r\n"),
             b"To: sender@example.com", b"Subject: Undelivered Mail Returned to Sender",
             b"MIME-Version: 1.0",
             b"Content-Type: multipart/report; report-type=delivery-status;",
             b"\tboundary=\"" + boundary + b"\"", b"", b"--" + boundary,
             b"Content-Type: text/plain", b"", b"This is the mail system at host mx.example.net.",
             b"", b"I'm sorry to have to inform you that your message could not",
             b"be delivered to one or more recipients.", b"", b"--" + boundary,
             b"Content-Type: message/delivery-status", b"", b"Reporting-MTA: dns; mx.example.net",
             b"", b"Final-Recipient: rfc822; nobody@example.com", b"Action: failed",
             b"Status: 5.1.1", b"", b"--" + boundary,
             b"Content-Type: " + (b"text/rfc822-headers" if headers_only else b"message/rfc822"),
             b"", b""]
    return newline.join(lines) + returned + newline + b"--" + boundary + b"--" + newline


def long_references(rng, newline):
    count = rng.randint(40, 160)
    ids = b" ".join(b"<%d.%d@mail.example.org>" % (rng.randint(1, 10**9), index)
                    for index in range(count))
    return b"References: " + ids + newline


def only_fields(text, names):
    """The header block cut down to the first field of each of `names`, the body kept."""
    _start, closing, _newline = block_of(text)
    if closing is None:
        return text
    kept = [cases.first_field(text, name) for name in names]
    if any(field is None for field in kept):
        return text
    return b"".join(kept) + text[closing:]


def in_display_name(text, rng, name_bytes):
    """The From field's display name replaced by raw `name_bytes`, the address kept."""
    field = cases.first_field(text, b"from")
    if field is None:
        return text
    value = field[len(b"From:"):].strip()
    address = value[value.index(b"<"):value.rindex(b">") + 1] if b"<" in value and b">" in value \
        else b"<" + value + b">"
    newline = header_shapes.newline_of(text)
    return text.replace(field, b"From: " + name_bytes + b" " + address + newline, 1)


def tab_fold(text, newline):
    """The Subject folded behind a line of one tab and nothing else."""
    field = cases.first_field(text, b"subject")
    if field is None:
        return text
    line_end = len(field) - len(field.rstrip(b"\r\n"))
    return text.replace(field, field[:-line_end] + newline + b"\t" + newline + b"\tmore" +
                        newline, 1)


def apply_real_mail_mutation(case, text, rng, number, newline):
    if case == "mut-bounce":
        return bounce(text, rng, number)
    if case == "mut-long-references":
        return insert_before(text, (b"from", b"date"), long_references(rng, newline))
    if case == "mut-foreign-date":
        field = cases.first_field(text, b"date")
        return text if field is None else \
            text.replace(field, b"Date: " + rng.choice(FOREIGN_DATES) + newline, 1)
    if case == "mut-gbk-header":
        text = in_display_name(text, rng, rng.choice(GBK_NAMES))
        field = cases.first_field(text, b"subject")
        return text if field is None else \
            text.replace(field, b"Subject: \xbb\xe1\xd2\xe9 " + field[len(b"Subject: "):], 1)
    if case == "mut-cp1252-name":
        return in_display_name(text, rng, b"\x93" + rng.choice((b"Ann Lee", b"O\x92Brien")) +
                               b"\x94")
    if case == "mut-tab-fold":
        return tab_fold(text, newline)
    if case == "mut-three-fields":
        return only_fields(text, (b"from", b"date", b"subject"))
    return None


def apply_mutation(case, text, rng, number=0):
    if case not in MUTATIONS:
        return None
    if case in REAL_MAIL_MUTATIONS:
        return apply_real_mail_mutation(case, text, rng, number, header_shapes.newline_of(text))
    start, closing, newline = block_of(text)
    body = text[start:]
    if case == "mut-banner":
        return rng.choice(BANNERS) + newline + body
    if case == "mut-gt-from":
        return GT_FROM_LINE + newline + body
    if case == "mut-mailbox-other":
        return rng.choice(OTHER_MAILBOX_LINES) + newline + body
    if case == "mut-nul-field":
        return in_value(text, b"subject", b"\x00")
    if case == "mut-control-field":
        return in_value(in_value(text, b"subject", rng.choice(CONTROL_BYTES)), b"to",
                        rng.choice(CONTROL_BYTES))
    if case == "mut-long-first":
        return long_field(rng, rng.randint(1000, 3000), newline) + body
    if case == "mut-long-512":
        return insert_before(text, (b"from", b"date"),
                             long_field(rng, rng.randint(512, 998), newline))
    if case == "mut-long-folded":
        return insert_before(text, (b"from", b"date"), long_folded(rng, newline))
    if case == "mut-many-lines":
        lines = b"".join(b"X-Line-%d: %s" % (index, words(rng, rng.randint(8, 40))) + newline
                         for index in range(rng.randint(201, 400)))
        return insert_before(text, (b"from", b"date"), lines)
    if case == "mut-huge-block":
        block = cases.long_header_block(rng, rng.randint(66 * 1024, 90 * 1024))
        return insert_before(text, (b"from", b"date"), block.replace(b"\r\n", newline))
    if case == "mut-from-date-last":
        return fields_moved_last(text)
    if case == "mut-odd-date":
        return with_odd_date(text, rng)
    if case == "mut-no-blank":
        return without_blank_line(text)
    if case == "mut-body-no-crlf":
        return text.rstrip(b"\r\n")
    if case in ("mut-lf-header", "mut-lf-body"):
        return split_line_ends(text, case == "mut-lf-header")
    if case == "mut-cr-only":
        return text.replace(b"\r\n", b"\n").replace(b"\n", b"\r")
    if case == "mut-duplicate-fields":
        return duplicated_fields(text)
    if case == "mut-8bit-name":
        return insert_before(text, (b"from", b"date"),
                             rng.choice(EIGHT_BIT_NAMES) + b": 1" + newline)
    if case == "mut-odd-name":
        return insert_before(text, (b"from", b"date"), rng.choice(ODD_NAMES) + b": yes" + newline)
    if case == "mut-blank-fold":
        return blank_fold(text, newline)
    if case == "mut-header-at-end":
        return text if closing is None else text[:closing]
    if case == "mut-tiny":
        return tiny_mail(text)
    if case == "mut-rfc822-only":
        return rfc822_only(body, number)
    if case == "mut-received-fold":
        return received_folded(text)
    if case == "mut-stray-line":
        return insert_before(text, (b"from", b"date"), rng.choice(STRAY_LINES) + newline)
    if case == "mut-stray-token":
        return insert_before(text, (b"from", b"date"), b"c3RyYXkgYmFzZTY0IHRhaWw=" + newline)
    if case == "mut-fold-at-name":
        return folded_at_names(text, (b"from", b"date", b"subject", b"to"))
    if case == "mut-empty-from":
        # An empty From field first (a draft's), the real one later.
        return insert_before(text, (b"from",), b"From: " + newline)
    if case == "mut-bom":
        return b"\xef\xbb\xbf" + body
    if case == "mut-space-colon":
        return header_shapes.rename_fields(text, lambda name, _first: name + b" ")
    if case in FIRST_LINE_CASES:
        return with_first_lines(case, text, rng)
    if case in BODY_BYTE_CASES:
        return with_body_bytes(case, text, rng)
    if case in EXPORT_CASES:
        return with_export_shape(case, text, rng, closing, newline)
    if case in END_SHAPE_CASES:
        return with_end_shape(case, text, rng, closing, newline)
    if case in REAL_BLOCK_CASES:
        return apply_real_block_mutation(case, text, rng, number)
    if case in STRAY_BOUNDARY_CASES:
        return with_stray_boundary(case, text, rng, closing, newline)
    if case in OPENING_CASES:
        return apply_opening_mutation(case, text, rng)
    return None


# First lines real mail opens its block with that a corpus mail may never open with: fields a
# delivery agent, a filter, a mail program's store, a news reader or a resend puts on top; names
# in another letter case; a first line folded right behind its colon. Each replaces the mail's
# first field (unless it is one the mail cannot do without) by one to three such lines.
PRIVATE_FIRST_LINES = (
    b"X-Apparently-To: %(to)s via 216.39.62.141; Mon, 03 Mar 2008 10:00:03 -0800",
    b"X-Account-Key: account3", b"X-UIDL: 1204538403.27531.mail5", b"X-UIDL: GmailId118734f5",
    b"X-Mozilla-Status: 0001", b"X-Mozilla-Status2: 00000000", b"X-Mozilla-Keys: ",
    b"Delivered-To: %(to)s", b"X-Original-To: %(to)s", b"Envelope-to: %(to)s",
    b"Old-Return-Path: <%(from)s>", b"X-Envelope-From: <%(from)s>",
    b"Authentication-Results: mx.example.net; spf=pass smtp.mailfrom=%(from)s",
    b"Received-SPF: pass (example.net: domain of %(from)s designates 10.1.2.3 as permitted "
    b"sender) client-ip=10.1.2.3;",
    b"X-Spam-Checker-Version: SpamAssassin 3.2.4 (2008-01-01) on mx.example.net",
    b"X-Spam-Level: **", b"X-Spam-Flag: NO",
    b"X-Spam-Status: No, score=-2.6 required=5.0 tests=BAYES_00 autolearn=ham version=3.2.4",
    b"X-Virus-Scanned: amavisd-new at example.net", b"X-Virus-Scanned: ClamAV using ClamSMTP",
    b"X-MS-Exchange-Organization-AuthSource: EX01.corp.example.net",
    b"X-MS-Exchange-Organization-SCL: -1",
    b"X-MS-Exchange-CrossTenant-OriginalArrivalTime: 03 Mar 2008 10:00:00.0000 (UTC)",
    b"X-Gmail-Labels: Inbox,Important", b"X-GM-THRID: 1269931431251284217",
    b"DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.net; s=s1;%(nl)s"
    b"\th=From:To:Subject:Date:Message-ID; bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;%(nl)s"
    b"\tb=dGhlIHNpZ25hdHVyZSBvZiBhIHNpZ25lZCBtYWls",
    b"ARC-Seal: i=1; a=rsa-sha256; t=1204538400; cv=none; d=example.net; s=arc-2008;%(nl)s"
    b"\tb=YXJjIHNlYWwgb2YgYSBtYWls",
)
NEWS_FIRST_LINES = (
    b"Path: news.example.net!feeder.example.org!not-for-mail",
    b"Newsgroups: comp.mail.misc,comp.os.linux.misc",
    b"Xref: news.example.net comp.mail.misc:48213", b"X-Newsreader: trn 4.0-test77",
    b"NNTP-Posting-Host: 10.1.2.3", b"Lines: 24")
READER_FIRST_LINES = (b"Status: RO", b"Status: O", b"X-Status: A", b"X-Status: ",
                      b"X-Keywords: $Label1", b"X-Evolution: 00000042-0010")
RESENT_FIRST_LINES = (
    b"Resent-From: %(from)s", b"Resent-To: %(to)s",
    b"Resent-Date: Tue, 4 Mar 2008 09:12:44 +0100",
    b"Resent-Message-ID: <resent.4411@example.net>", b"Resent-Sender: %(from)s")
ODD_CASE_FIRST_LINES = (
    b"RETURN-PATH: <%(from)s>", b"return-path: <%(from)s>", b"Return-path: <%(from)s>",
    b"Message-Id: <odd.case.17@example.net>", b"MESSAGE-ID: <odd.case.18@example.net>",
    b"DELIVERED-TO: %(to)s", b"delivered-to: %(to)s", b"x-original-to: %(to)s",
    b"RECEIVED: from a.example.net by b.example.net; Mon, 3 Mar 2008 10:00:00 +0000",
    b"received: from a.example.net by b.example.net; Mon, 3 Mar 2008 10:00:00 +0000")
FOLDED_FIRST_LINES = (
    b"Received:%(nl)s\tfrom a.example.net (a.example.net [10.1.2.3])%(nl)s\tby b.example.net; "
    b"Mon, 3 Mar 2008 10:00:00 +0000",
    b"Return-Path:%(nl)s <%(from)s>", b"Delivered-To:%(nl)s\t%(to)s",
    b"X-Spam-Status:%(nl)s\tNo, score=-2.6 required=5.0 tests=BAYES_00",
    b"DKIM-Signature:%(nl)s\tv=1; a=rsa-sha256; d=example.net; s=s1;%(nl)s\tb=c2lnbmVk",
    b"Authentication-Results:%(nl)s\tmx.example.net; dkim=pass header.d=example.net")
FIRST_LINE_CASES = {"mut-first-private": PRIVATE_FIRST_LINES,
                    "mut-first-news": NEWS_FIRST_LINES,
                    "mut-first-reader": READER_FIRST_LINES,
                    "mut-first-resent": RESENT_FIRST_LINES,
                    "mut-first-odd-case": ODD_CASE_FIRST_LINES,
                    "mut-first-folded": FOLDED_FIRST_LINES}
MUTATIONS += tuple(FIRST_LINE_CASES)
# Fields a mail is not told without, and its trace: they stay where the first line is replaced.
KEPT_FIRST_FIELDS = (b"from", b"date", b"to", b"subject", b"message-id", b"mime-version",
                     b"content-type", b"received", b"return-path")


def with_first_lines(case, text, rng, choices=None):
    fields, _start = cases.header_fields(text)
    if not fields:
        return text
    newline = header_shapes.newline_of(text)
    values = {"to": cases.first_address(text, b"to", b"user@example.net"),
              "from": cases.first_address(text, b"from", b"sender@example.net"),
              "nl": newline}
    values = {key: value if isinstance(value, bytes) else value.encode() for key, value in
              values.items()}
    choices = choices or FIRST_LINE_CASES[case]
    picked = [choices[rng.randrange(len(choices))] for _ in range(rng.randint(1, 3))]
    lines = b"".join(line % {k.encode(): v for k, v in values.items()} + newline
                     for line in picked)
    name, start, end = fields[0]
    rest = text[start:] if name in KEPT_FIRST_FIELDS else text[end:]
    return lines + rest


# Stray bytes in a mail's text: a NUL, or one or two control bytes (a bell, an escape, a form
# feed, a DEL, the 0x1A old DOS tools end a file with), that a mail program, a broken charset
# conversion or an archive let into a body line that goes on behind them.
BODY_BYTE_CASES = {"mut-body-nul": (b"\x00",),
                   "mut-body-control": CONTROL_BYTES + (b"\x1a", b"\x0c", b"\x7f")}
MUTATIONS += tuple(BODY_BYTE_CASES)


def with_body_bytes(case, text, rng):
    """One or two of the case's bytes put into the middle of a line of the body's text (one
    with a blank in it, so no line of base64), or the text unchanged where it has none."""
    body = mailtext.body_start(text)
    if body is None:
        return text
    lines, position = [], body
    while True:
        newline = text.find(b"\n", position)
        if newline < 0:
            break
        line = text[position:newline].rstrip(b"\r")
        if len(line) >= 10 and b" " in line.strip() and not line.startswith(b"--"):
            lines.append((position, len(line)))
        position = newline + 1
    if not lines:
        return text
    start, length = lines[rng.randrange(len(lines))]
    choices = BODY_BYTE_CASES[case]
    stray = b"".join(choices[rng.randrange(len(choices))] for _ in range(rng.randint(1, 2)))
    at = start + rng.randint(1, length - 1)
    return text[:at] + stray + text[at:]


# How mail programs and export tools end or lay out a mail the corpus never does: the empty line
# behind the header block holding a blank, every line end doubled to CR CR LF by a second
# conversion to the system's line ends, a text that ends in a closing and a name without a line
# break behind it.
EXPORT_CASES = ("mut-blank-separator", "mut-cr-cr-lf", "mut-closing-no-newline")
MUTATIONS += EXPORT_CASES
CLOSINGS = (b"Regards,", b"Thanks,", b"Best,", b"Cheers,", b"BR,", b"Gru\xdf,")
SIGNED_NAMES = (b"Bob", b"Ann", b"Jo", b"Kim", b"Lee", b"Tom", b"M.")


def with_export_shape(case, text, rng, closing, newline):
    """The text as the export case writes it, or unchanged where the mail does not fit."""
    if case == "mut-blank-separator":
        return text if closing is None else \
            text[:closing] + rng.choice((b" ", b"\t", b"  ")) + text[closing:]
    if case == "mut-cr-cr-lf":
        return text.replace(b"\r\n", b"\r\r\n") if newline == b"\r\n" else text
    # The closing goes on a single part's text alone: behind a multipart's closing line it
    # would be an epilogue.
    if closing is None or b"multipart/" in text[:closing].lower():
        return text
    closing_line = CLOSINGS[rng.randrange(len(CLOSINGS))]
    name = SIGNED_NAMES[rng.randrange(len(SIGNED_NAMES))]
    return text.rstrip(b"\r\n") + newline + newline + closing_line + newline + name


# How a mail's last lines look where the corpus's never do, for the rules that tell where a
# mail ends when the next bytes are another mail's or old text: a signature block behind its
# "-- " line, a quoted-printable soft break on the last line, a text sent as one unwrapped line
# of base64, a multipart whose closing boundary ends the file without a line break, blank and
# white-space lines trailing the text. A single part's text takes the first three; only a
# multipart takes the fourth.
END_SHAPE_CASES = ("mut-signature-end", "mut-qp-soft-end", "mut-base64-one-line",
                   "mut-closing-bare", "mut-trailing-blanks")
MUTATIONS += END_SHAPE_CASES
SIGNATURE_LINES = (b"Bob Miller", b"Ann Ng | Sales", b"+1 555 0100", b"http://example.net/",
                   b"Sent from my phone", b"Kim")
TRAILING_LINES = (b"", b" ", b"\t", b"   ", b"")


def with_end_shape(case, text, rng, closing, newline):
    """The text with the case's last lines, or unchanged where the mail does not fit."""
    if closing is None:
        return text
    multipart = b"multipart/" in text[:closing].lower()
    if case == "mut-closing-bare":
        boundaries = mailtext.multipart_boundaries(text[:closing])
        if not multipart or not boundaries:
            return text
        outer = next(iter(boundaries))
        end = text.rfind(b"--" + outer + b"--")
        return text if end < closing else text[:end + len(outer) + 4]
    if case == "mut-trailing-blanks":
        lines = [TRAILING_LINES[rng.randrange(len(TRAILING_LINES))]
                 for _ in range(rng.randint(2, 5))]
        return text + newline.join(lines) + newline
    if multipart:
        return text
    body = text[closing:].split(newline, 1)[1] if newline in text[closing:] else b""
    if case == "mut-signature-end":
        lines = [SIGNATURE_LINES[rng.randrange(len(SIGNATURE_LINES))]
                 for _ in range(rng.randint(1, 3))]
        ending = newline if rng.randrange(2) else b""
        return text.rstrip(b"\r\n") + newline + b"-- " + newline + newline.join(lines) + ending
    if case == "mut-qp-soft-end":
        ending = newline if rng.randrange(2) else b""
        return text.rstrip(b"\r\n") + b"=" + ending
    # mut-base64-one-line: the body's bytes as one line of base64, with or without its break.
    head = cases.without_fields(text[:closing], b"content-transfer-encoding")
    ending = newline if rng.randrange(2) else b""
    return (head + b"Content-Transfer-Encoding: base64" + newline + newline +
            base64.b64encode(body) + ending)


# Header blocks as mail programs, servers and archives leave them where the corpus has none
# alike: a long stack of a store's, a delivery agent's and a filter's private fields (signature
# and seal blocks of many folded lines among them) before any field a mail is told by; a news
# article's block; a draft's; names in odd letter case throughout; the MIME fields first, as a
# saved part opens; a recipient list of many folded lines first; a line of blanks first (also
# with every line end doubled to CR CR LF); nothing behind the block but its empty line.
STACK_LINES = (
    b"Envelope-to: %(to)s", b"Delivery-date: Mon, 03 Mar 2008 10:00:05 +0000",
    b"X-UIDL: 1204538403.27531.mail5", b"Status: RO", b"X-Status: ", b"X-Keywords: ",
    b"X-Mozilla-Status: 0001", b"X-Mozilla-Status2: 00800000",
    b"X-Mozilla-Keys:                                                                        ",
    b"X-Account-Key: account2", b"X-Identity-Key: id1", b"FCC: imap://user@mail.example.net/Sent",
    b"Return-path: <%(from)s>", b"RETURN-PATH: <%(from)s>", b"X-From_: %(from)s  Mon Mar  3 10:00:00 2008",
    b"X-Apparently-To: %(to)s via 216.39.62.141; Mon, 03 Mar 2008 10:00:03 -0800",
    b"X-Original-To: %(to)s", b"X-Spam-Score: -2.6", b"X-Spam-Level: ",
    b"X-Virus-Scanned: by amavisd-new", b"X-Priority: 3", b"X-MSMail-Priority: Normal",
    b"X-Sieve: CMU Sieve 2.3", b"X-BeenThere: list@example.org", b"Precedence: bulk",
    b"X-Forwarded-To: %(to)s", b"X-Forwarded-For: %(from)s %(to)s",
)
SIGNATURE_NAMES = (b"DKIM-Signature", b"ARC-Seal", b"ARC-Message-Signature",
                   b"ARC-Authentication-Results", b"X-Google-DKIM-Signature")
NEWS_FIELDS = (b"from", b"subject", b"date", b"message-id")
DRAFT_FIELDS = (b"X-Mozilla-Draft-Info: internal/draft; vcard=0; receipt=0; DSN=0; uuencode=0",
                b"X-Identity-Key: id1", b"FCC: mailbox://nobody@Local%20Folders/Sent",
                b"User-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:102.0) Gecko/20100101")
MIME_NAMES = (b"mime-version", b"content-type", b"content-transfer-encoding",
              b"content-disposition")
# As programs write names: in capitals, in lower case, or only the first letter a capital
# ("Message-id", "Mime-version").
ODD_CASES = (bytes.upper, bytes.lower, lambda name: name[:1].upper() + name[1:].lower())
REAL_BLOCK_CASES = ("mut-private-stack", "mut-news-article", "mut-draft", "mut-odd-case-all",
                    "mut-mime-first", "mut-long-recipients", "mut-space-line",
                    "mut-space-line-cr-cr-lf", "mut-headers-only")
MUTATIONS += REAL_BLOCK_CASES


def signature_block(rng, newline):
    """One signature or seal field of five to twelve folded lines."""
    name = SIGNATURE_NAMES[rng.randrange(len(SIGNATURE_NAMES))]
    lines = [name + b": i=1; a=rsa-sha256; c=relaxed/relaxed; d=example.net; s=s2008;"]
    lines += [b"\t" + cases.random_base64(rng, 72) for _ in range(rng.randint(5, 12))]
    return newline.join(lines) + newline


def private_stack(text, rng, newline):
    """Four to fourteen private fields and signature blocks in front of the whole block."""
    start, _closing, _newline = block_of(text)
    values = {b"to": cases.first_address(text, b"to", b"user@example.net"),
              b"from": cases.first_address(text, b"from", b"sender@example.net")}
    values = {key: value if isinstance(value, bytes) else value.encode()
              for key, value in values.items()}
    stack = b""
    for _ in range(rng.randint(4, 14)):
        if rng.random() < 0.2:
            stack += signature_block(rng, newline)
        else:
            stack += STACK_LINES[rng.randrange(len(STACK_LINES))] % values + newline
    return stack + text[start:]


def fields_in_order(text, names):
    """The block cut down to the first field of each of `names` that it has, in that order,
    the body kept; None when From or Date is missing."""
    _start, closing, _newline = block_of(text)
    if closing is None:
        return None
    kept = {name: cases.first_field(text, name) for name in names}
    if kept.get(b"from") is None or kept.get(b"date") is None:
        return None
    return b"".join(field for field in kept.values() if field is not None), closing


def news_article(text, number, newline):
    made = fields_in_order(text, NEWS_FIELDS)
    if made is None:
        return text
    _fields, closing = made
    if cases.first_field(text, b"message-id") is None:
        text = text[:closing] + b"Message-ID: <news.%d@example.net>" % number + newline + \
            text[closing:]
    fields, closing = fields_in_order(text, NEWS_FIELDS)
    lines = (b"Path: news.example.net!feeder.example.org!not-for-mail" + newline +
             b"Newsgroups: comp.mail.misc" + newline)
    return lines + fields + text[closing:]


def draft(text, rng, newline):
    """A draft as a mail program keeps it: no trace, no Message-ID, its private fields."""
    made = fields_in_order(text, (b"from", b"to", b"subject", b"date", b"mime-version",
                                  b"content-type", b"content-transfer-encoding"))
    if made is None:
        return text
    fields, closing = made
    picked = rng.sample(DRAFT_FIELDS, rng.randint(1, len(DRAFT_FIELDS)))
    return newline.join(picked) + newline + fields + text[closing:]


def odd_case_names(text, rng):
    """Every field name in an odd letter case, one drawn per field."""
    picks = []

    def rename(name, _first):
        picks.append(rng.randrange(len(ODD_CASES)))
        return ODD_CASES[picks[-1]](name)
    return header_shapes.rename_fields(text, rename)


def mime_first(text):
    """The MIME fields moved to the top of the block, as a saved part begins."""
    fields, start = cases.header_fields(text)
    moved = b"".join(text[begin:end] for name, begin, end in fields if name in MIME_NAMES)
    if not moved:
        return text
    for name in MIME_NAMES:
        text = cases.without_fields(text, name)
    _fields, start = cases.header_fields(text)
    return text[:start] + moved + text[start:]


def long_recipients(text, rng, newline):
    """A To and a Cc of 40-160 addresses each, folded one a line, first in the block."""
    start, _closing, _newline = block_of(text)
    lists = b""
    for name in (b"To", b"Cc"):
        count = rng.randint(40, 160)
        addresses = [b"\"User %d\" <user%d.%d@example%d.net>" % (index, index, rng.randrange(999),
                                                                 index % 7)
                     for index in range(count)]
        lists += name + b": " + (b"," + newline + b"\t").join(addresses) + newline
    text = cases.without_fields(cases.without_fields(text, b"to"), b"cc")
    start, _closing, _newline = block_of(text)
    return lists + text[start:]


def space_line(text, rng, newline):
    start, _closing, _newline = block_of(text)
    return b" " * rng.randint(1, 40) + newline + text[start:]


def apply_real_block_mutation(case, text, rng, number):
    newline = header_shapes.newline_of(text)
    if case == "mut-private-stack":
        return private_stack(text, rng, newline)
    if case == "mut-news-article":
        return news_article(text, number, newline)
    if case == "mut-draft":
        return draft(text, rng, newline)
    if case == "mut-odd-case-all":
        return odd_case_names(text, rng)
    if case == "mut-mime-first":
        return mime_first(text)
    if case == "mut-long-recipients":
        return long_recipients(text, rng, newline)
    if case == "mut-space-line":
        return space_line(text, rng, newline)
    if case == "mut-space-line-cr-cr-lf":
        spaced = space_line(text, rng, newline)
        return spaced.replace(b"\r\n", b"\r\r\n") if newline == b"\r\n" else spaced
    if case == "mut-headers-only":
        _start, end = header_shapes.header_end_of(text)
        return text[:end]
    return None


# A boundary parameter on a Content-Type that is no multipart, as some mail programs and
# templates leave it (a text or an HTML part that once was a multipart's): no line of the body
# is a boundary line, so the text ends where its own lines end. With `-dashed` the boundary
# begins with dashes itself, and a line of the body looks like it (a separator line of dashes).
STRAY_BOUNDARY_CASES = ("mut-text-boundary", "mut-text-boundary-dashed")
MUTATIONS += STRAY_BOUNDARY_CASES


def with_stray_boundary(case, text, rng, closing, newline):
    """The text with a boundary on its single-part Content-Type, or unchanged where it has none."""
    if closing is None or b"multipart/" in text[:closing].lower():
        return text
    field = cases.first_field(text, b"content-type")
    if field is None:
        return text
    token = b"%d" % rng.randrange(10**17, 10**18)
    if case == "mut-text-boundary":
        value = b"_NextPart_" + token
    else:
        value = b"--" + token
    stripped = field.rstrip(b"\r\n")
    changed = stripped + b";" + newline + b"\tboundary=\"" + value + b"\"" + field[len(stripped):]
    text = text.replace(field, changed, 1)
    if case == "mut-text-boundary-dashed":
        text = text.rstrip(b"\r\n") + newline + newline + b"-" * rng.randint(20, 40) + newline
    return text
# Opening lines as servers, filters, gateways and exporters write them and the corpus never
# does: a name with a blank or a tab in front of its colon, names joined by underscores (a
# filter's score fields), a name in 8-bit bytes, a delivery agent's envelope fields in its own
# letter case, a gateway's X.400 fields, a recipient list of several KiB on one line, an mbox
# separator among the fields, an export banner, old Mac line ends in the body alone, a first
# name whose first bytes were overwritten, fields with no value, very long private names.
SPACE_COLON_FIRST_LINES = (b"X-Mailer :  Eudora Pro 4.2", b"X-Sender\t: %(from)s",
                           b"Return-Path : <%(from)s>", b"Message-Id :\t<sp.3@example.net>")
UNDERSCORE_FIRST_LINES = (b"X-Spam_score: -2.6", b"X-Spam_score_int: -25", b"X-Spam_bar: --",
                          b"X-Spam_report: Spam detection software, running on the system",
                          b"X_Original_Sender: %(from)s", b"X-Ham_Report: none")
EIGHT_BIT_FIRST_LINES = (b"X-Empf\xe4nger: %(to)s", b"X-Pr\xc3\xbcfung: bestanden",
                         b"\xc3\x84nderung: 1", b"X-\xe9t\xe9: oui")
ENVELOPE_FIRST_LINES = (b"Return-path: <%(from)s>", b"Envelope-to: %(to)s",
                        b"Delivery-date: Mon, 03 Mar 2008 10:00:03 +0000")
X400_FIRST_LINES = (
    b"X400-Received: by mta relay.example.net in /c=us/admd=attmail/prmd=example/;",
    b"X400-Originator: %(from)s", b"X400-Recipients: non-disclosure:;",
    b"X400-MTS-Identifier: [/c=us/admd=attmail/prmd=example/;0803031000001234]",
    b"X400-Content-Type: P2-1984 (2)")
EMPTY_VALUE_FIRST_LINES = (b"Cc:", b"Bcc:", b"X-Priority:", b"Reply-To:", b"X-Face:")
LONG_PRIVATE_NAMES = (
    b"X-MS-Exchange-Transport-CrossTenantHeadersStamped",
    b"X-MS-Exchange-CrossTenant-Network-Message-Id-Original-Authenticated-Sender",
    b"X-Microsoft-Antispam-Message-Info-Original-Checked-By-Gateway",
    b"X-Forefront-Antispam-Report-Untrusted-Connection-Filter-Policy-Verdict")
BANNER_LINES = (b"Microsoft Mail Internet Headers Version 2.0",)
MBOX_INSIDE_LINES = (b"From sender@example.com Mon Mar  3 10:00:00 2008",
                     b">From sender@example.com Mon Mar  3 10:00:00 2008")
OPENING_LINE_CASES = {"mut-first-space-colon": SPACE_COLON_FIRST_LINES,
                      "mut-first-underscore": UNDERSCORE_FIRST_LINES,
                      "mut-first-8bit-name": EIGHT_BIT_FIRST_LINES,
                      "mut-first-envelope": ENVELOPE_FIRST_LINES,
                      "mut-first-x400": X400_FIRST_LINES,
                      "mut-first-empty-value": EMPTY_VALUE_FIRST_LINES}
OPENING_CASES = tuple(OPENING_LINE_CASES) + (
    "mut-long-names", "mut-one-line-to", "mut-mbox-inside", "mut-export-banner",
    "mut-cr-only-body", "mut-cut-first-name")
MUTATIONS += OPENING_CASES


def opening_values(text, newline):
    values = {b"to": cases.first_address(text, b"to", b"user@example.net"),
              b"from": cases.first_address(text, b"from", b"sender@example.net"), b"nl": newline}
    return {key: value if isinstance(value, bytes) else value.encode()
            for key, value in values.items()}


def in_front_of_block(text, lines):
    start, _closing, _newline = block_of(text)
    return lines + text[start:]


def one_line_to(text, rng, newline):
    """A To of 40-200 addresses on one unfolded line (several KiB), first in the block."""
    count = rng.randint(40, 200)
    addresses = b", ".join(b"user%d.%d@example%d.net" % (index, rng.randrange(999), index % 5)
                           for index in range(count))
    return in_front_of_block(cases.without_fields(text, b"to"), b"To: " + addresses + newline)


def mbox_inside(text, rng, newline):
    """An mbox separator line among the fields: behind the first one."""
    fields, _start = cases.header_fields(text)
    if len(fields) < 2:
        return text
    _name, _begin, end = fields[0]
    return text[:end] + rng.choice(MBOX_INSIDE_LINES) + newline + text[end:]


def cut_first_name(text, rng):
    """The first field's name without its first one to four bytes (overwritten), at least two
    of its bytes left."""
    fields, _start = cases.header_fields(text)
    if not fields:
        return text
    _name, begin, _end = fields[0]
    colon = text.find(b":", begin)
    if colon - begin < 3:
        return text
    return text[:begin] + text[begin + rng.randint(1, min(4, colon - begin - 2)):]


def cr_only_body(text, closing, newline):
    """The body's lines ended by a bare CR, the header block and its empty line as they were."""
    if closing is None:
        return text
    body = closing + len(newline)
    return text[:body] + text[body:].replace(b"\r\n", b"\n").replace(b"\n", b"\r")


def apply_opening_mutation(case, text, rng):
    newline = header_shapes.newline_of(text)
    values = opening_values(text, newline)
    if case in OPENING_LINE_CASES:
        choices = OPENING_LINE_CASES[case]
        picked = rng.sample(choices, rng.randint(1, min(3, len(choices))))
        return in_front_of_block(text, b"".join(line % values + newline for line in picked))
    if case == "mut-long-names":
        lines = b"".join(name + b": " + words(rng, rng.randint(4, 30)) + newline
                         for name in rng.sample(LONG_PRIVATE_NAMES, rng.randint(1, 3)))
        return in_front_of_block(text, lines)
    if case == "mut-one-line-to":
        return one_line_to(text, rng, newline)
    if case == "mut-mbox-inside":
        return mbox_inside(text, rng, newline)
    if case == "mut-export-banner":
        return in_front_of_block(text, rng.choice(BANNER_LINES) + newline)
    if case == "mut-cr-only-body":
        _start, closing, _newline = block_of(text)
        return cr_only_body(text, closing, newline)
    if case == "mut-cut-first-name":
        return cut_first_name(text, rng)
    return None


# Mails unlike the corpus along two to four of the axes above at once, drawn per mail by the
# image's seed (mkimage/combos.py, which variants.apply hands the case to).
COMBO_CASES = ("mut-combo",)
MUTATIONS += COMBO_CASES


# Odd field lines in the middle of a block, right in front of From, as servers, gateways and
# mail programs in other languages write them: a name with a blank or a tab in front of its
# colon, a name that begins with an 8-bit byte or is written in another script altogether.
MID_EIGHT_BIT_LINES = (b"\xc3\x84nderung: 1", b"\xc9tat: lu",
                       b"\xd0\x9f\xd0\xbe\xd0\xbb\xd1\x83\xd1\x87\xd0\xb5\xd0\xbd\xd0\xbe: %(to)s",
                       b"\xe4\xbb\xb6\xe5\x90\x8d: %(from)s")
MID_LINE_CASES = {"mut-mid-space-colon": SPACE_COLON_FIRST_LINES,
                  "mut-mid-8bit-name": MID_EIGHT_BIT_LINES}
MUTATIONS += tuple(MID_LINE_CASES)


def mid_lines(case, text, rng):
    """One or two of the case's lines right in front of From (or Date where From comes later)."""
    newline = header_shapes.newline_of(text)
    values = opening_values(text, newline)
    choices = MID_LINE_CASES[case]
    picked = rng.sample(choices, rng.randint(1, 2))
    return insert_before(text, (b"from", b"date"),
                         b"".join(line % values + newline for line in picked))


apply_mutation_before_mid_lines = apply_mutation


def apply_mutation(case, text, rng, number=0):  # noqa: F811 (the cases above, and these)
    if case in MID_LINE_CASES:
        return mid_lines(case, text, rng)
    return apply_mutation_before_mid_lines(case, text, rng, number)


# A multipart mail whose file goes on behind its closing boundary line with a line of its own and
# no line break: a name or a greeting a mail program wrote into the epilogue, the file's zeros or
# old data right behind it. A mail of one part stays as it is.
EPILOGUE_END_CASES = ("mut-epilogue-name", "mut-epilogue-greeting")
MUTATIONS += EPILOGUE_END_CASES
EPILOGUE_GREETINGS = (b"Thanks, Bob", b"see you soon", b"Regards from Lee", b"-- Ann")
_apply_before_epilogue_cases = apply_mutation


def with_epilogue_end(case, text, rng):
    """The text with a last epilogue line that no line break ends, or unchanged."""
    _start, closing, newline = block_of(text)
    if closing is None or b"multipart/" not in text[:closing].lower():
        return text
    if not text.endswith(newline):
        return text
    if case == "mut-epilogue-name":
        line = SIGNED_NAMES[rng.randrange(len(SIGNED_NAMES))]
    else:
        line = EPILOGUE_GREETINGS[rng.randrange(len(EPILOGUE_GREETINGS))]
    return text + newline + line


def apply_mutation(case, text, rng, number=0):  # noqa: F811 (extends the one above)
    if case in EPILOGUE_END_CASES:
        return with_epilogue_end(case, text, rng)
    return _apply_before_epilogue_cases(case, text, rng, number)


# First lines named by fields no list of the scan holds: names from the public registry of message
# header fields (permanent and provisional) and those common mail programs, list servers and
# gateways write, some in lower case or capitals, a few with digits. A fixed hash of the name
# splits them in two: `mut-first-other` draws from one half, `mut-first-other-aside` from the
# other, so that a rule tuned on the first can be tried on names it never saw.
OTHER_FIRST_LINES = (
    b"Thread-Topic: Plans for the spring meeting", b"thread-topic: budget",
    b"Thread-Index: AdQ1ZyXkWJ0bT4r3Sq2c1hV8nAbcdA==", b"Importance: Normal", b"IMPORTANCE: high",
    b"Priority: urgent", b"Priority: normal", b"List-Id: Users of the tool <users.example.net>",
    b"list-id: <dev.lists.example.net>", b"List-Unsubscribe: <mailto:leave@lists.example.net>",
    b"List-Post: <mailto:users@lists.example.net>", b"List-Help: <mailto:help@example.net>",
    b"List-Subscribe: <https://lists.example.net/join>, <mailto:join@lists.example.net>",
    b"List-Archive: <https://lists.example.net/archive/users>",
    b"List-Owner: <mailto:owner@lists.example.net>", b"Precedence: bulk", b"Precedence: list",
    b"PRECEDENCE: junk", b"Errors-To: %(from)s", b"Comments: sent from the lab",
    b"Keywords: budget, spring, plans", b"Content-Class: urn:content-classes:message",
    b"Autocrypt: addr=%(from)s; prefer-encrypt=mutual; keydata=mQENBFqJ0bT4r3Sq2c1hV8nA",
    b"Disposition-Notification-To: %(from)s", b"Auto-Submitted: auto-generated",
    b"Auto-Submitted: auto-replied",
    b"Mailing-List: contact users-help@lists.example.net; run by ezmlm",
    b"Approved: moderator@example.net", b"Feedback-ID: 4417:campaign:mailer:example",
    b"Accept-Language: en-US, de-DE", b"acceptlanguage: en-US", b"Content-Language: en-US",
    b"Face: iVBORw0KGgoAAAANSUhEUgAAADAAAAAwBAMAAAClLOS0AAAAGFBMVEX",
    b"Sensitivity: Company-Confidential", b"Sensitivity: Personal", b"Organisation: The Lab",
    b"Expires: Tue, 18 Mar 2008 00:00:00 +0000", b"Expiry-Date: Tue, 18 Mar 2008 00:00:00 +0000",
    b"Reply-By: Fri, 7 Mar 2008 17:00:00 +0000", b"Supersedes: <old.1234@example.net>",
    b"Followup-To: comp.mail.misc", b"Distribution: world", b"Summary: the short of it",
    b"Archived-At: <https://lists.example.net/archive/2008/03/1234.html>",
    b"Original-Recipient: rfc822;%(to)s", b"Return-Receipt-To: %(from)s",
    b"Read-Receipt-To: %(from)s", b"Confirm-Reading-To: %(from)s", b"Language: en",
    b"Obsoletes: <older.12@example.net>", b"Original-Message-ID: <orig.88@example.net>",
    b"Solicitation: com.example.offers", b"Injection-Date: Mon, 3 Mar 2008 10:00:00 +0000",
    b"Injection-Info: news.example.net; posting-host=\"10.1.2.3\"",
    b"NNTP-Posting-Date: Mon, 03 Mar 2008 10:00:00 GMT", b"Posting-Version: version B 2.10 4/3/83",
    b"Relay-Version: version B 2.10 5/3/83; site example.UUCP",
    b"Control: cancel <x.1@example.net>",
    b"Alternate-Recipient: prohibited", b"Autoforwarded: FALSE", b"Conversion: prohibited",
    b"Conversion-With-Loss: prohibited", b"Deferred-Delivery: Mon, 3 Mar 2008 10:00:00 +0000",
    b"Generate-Delivery-Report: ", b"Incomplete-Copy: ", b"Message-Type: Delivery Report",
    b"Original-From: %(from)s", b"Original-Subject: Plans for the spring meeting",
    b"Prevent-NonDelivery-Report: ", b"Resent-Reply-To: %(from)s",
    b"TLS-Required: No", b"VBR-Info: md=example.net; mc=all; mv=dwl.example.com",
    b"Content-Base: \"http://www.example.net/\"", b"Content-Location: message.html",
    b"Content-MD5: Q2hlY2sgSW50ZWdyaXR5IQ==", b"Content-Duration: 120",
    b"Content-Features: (& (type=text/plain))", b"ARC-Message-Signature: i=1; a=rsa-sha256; "
    b"c=relaxed/relaxed; d=example.net; s=arc-2008; b=bWVzc2FnZSBzaWdu",
    b"ARC-Authentication-Results: i=1; mx.example.net; spf=pass smtp.mailfrom=%(from)s",
    b"Mail-Followup-To: %(to)s", b"Mail-Reply-To: %(from)s",
    b"Mail-System-Version: <MH 6.8.3>", b"Mailer: Mail for Windows 3.1",
    b"OpenPGP: id=0BDCB45A; url=https://example.net/key.asc",
    b"Cancel-Lock: sha1:bNXHc6ohSmeHaRNHW",
    b"Cancel-Key: sha1:aWxxLTk4Mjg0MjkwNjg=", b"Bounces-To: bounces@lists.example.net",
    b"Posted-And-Mailed: yes", b"Apparently-To: %(to)s", b"Originator: %(from)s",
    b"Return-Receipt-Requested: ", b"Disposition-Notification-Options: signed-receipt-protocol="
    b"optional,pkcs7-signature", b"msip_labels: MSIP_Label_f42aa342_Enabled=True",
    b"MT-Priority: 4", b"Require-Recipient-Valid-Since: %(to)s; Mon, 3 Mar 2008 10:00:00 +0000",
    b"DL-Expansion-History: %(to)s; Mon, 3 Mar 2008 10:00:00 +0000",
    b"Encrypted: PEM, 1", b"PICS-Label: (PICS-1.1 \"http://example.net/r\" l r (s 0))",
    b"Content-Return: allowed",
    b"Message-Context: multimedia-message", b"Phone: +1 555 0100", b"Fax: +1 555 0101",
    b"Abuse-Reports-To: abuse@example.net", b"Envelope-ID: 0803031000.A1",
)


def other_name_is_set_aside(line):
    name = line.split(b":", 1)[0].lower()
    return hashlib.sha256(name).digest()[0] % 2 == 1


OTHER_NAME_CASES = {
    "mut-first-other": tuple(line for line in OTHER_FIRST_LINES
                             if not other_name_is_set_aside(line)),
    "mut-first-other-aside": tuple(line for line in OTHER_FIRST_LINES
                                   if other_name_is_set_aside(line))}
MUTATIONS += tuple(OTHER_NAME_CASES)
_apply_before_other_names = apply_mutation


def apply_mutation(case, text, rng, number=0):  # noqa: F811 (extends the one above)
    if case in OTHER_NAME_CASES:
        return with_first_lines(case, text, rng, OTHER_NAME_CASES[case])
    return _apply_before_other_names(case, text, rng, number)

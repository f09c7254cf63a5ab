"""Variants of a mail's header block in shapes few mail programs write but disks hold: other
first fields and letter cases, no blank or a tab behind the colon, a block that opens oddly,
raw 8-bit values, very short or very long blocks, unusual folding, other line ends. Each is
worked out from the original bytes and the seeded generator alone; `apply_shape` returns None
for a case it does not know.
"""

from . import cases, mailtext

RARE_FIRST_FIELDS = (b"X-Mozilla-Status: 0001", b"Status: RO", b"X-Account-Key: account3",
                     b"Thread-Topic: minutes", b"Recieved: from mail.example.net",
                     b"X-Spam-Checker-Version: SpamAssassin 3.4.0", b"Importance: normal",
                     b"Sender: owner-list@example.org", b"Reply-To: list@example.org")
MBOX_LINE = b"From sender@example.com Sat Jan  1 00:00:00 2000"
UTF8_WORDS = (b"\xc3\xa9t\xc3\xa9", b"\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82",
              b"\xe4\xbd\xa0\xe5\xa5\xbd", b"Gr\xfc\xdfe", b"na\xefve")
SHAPES = ("first-upper", "first-lower", "all-lower", "first-rare", "no-blank", "tab-colon", "open-blank-line",
          "open-space", "open-fold", "raw-8bit", "short-block", "long-line", "no-body",
          "many-folds", "mbox-line", "bare-cr")


def header_end_of(text):
    """(first header line, position behind the block's closing empty line or len(text))."""
    start, _lines, header_end = mailtext.shape_lines(text)
    if header_end is None:
        return start, len(text)
    newline = text.find(b"\n", header_end)
    return start, newline + 1 if newline >= 0 else len(text)


def newline_of(text):
    start, lines, _end = mailtext.shape_lines(text)
    return b"\n" if lines and text[lines[0][1]:lines[0][1] + 1] == b"\n" else b"\r\n"


def rename_fields(text, rename):
    """The header block with every field name passed through `rename`."""
    fields, _start = cases.header_fields(text)
    for name, start, _end in reversed(fields):
        colon = text.find(b":", start)
        if name and colon > start:
            text = text[:start] + rename(text[start:colon], start == fields[0][1]) + text[colon:]
    return text


def after_colons(text, separator):
    """Every field's first line with `separator` in place of the blanks behind its colon."""
    fields, _start = cases.header_fields(text)
    for name, start, _end in reversed(fields):
        colon = text.find(b":", start)
        if not name or colon < start:
            continue
        value = colon + 1
        while text[value:value + 1] in (b" ", b"\t"):
            value += 1
        text = text[:colon + 1] + separator + text[value:]
    return text


def with_value_bytes(text, name, extra):
    field = cases.first_field(text, name)
    if field is None:
        return text
    line_end = len(field) - len(field.rstrip(b"\r\n"))
    return text.replace(field, field[:-line_end] + b" " + extra + field[-line_end:], 1)


def short_block(text):
    """From, Date and Subject alone (the ones the text has), then its body."""
    _start, end = header_end_of(text)
    kept = b"".join(field for field in (cases.first_field(text, name)
                                        for name in (b"from", b"date", b"subject")) if field)
    return kept + newline_of(text) + text[end:] if kept else text


def many_folds(text, rng):
    """The Subject folded after every word of its value, with tabs or blanks."""
    field = cases.first_field(text, b"subject")
    if field is None:
        return text
    newline = newline_of(text)
    words = field.replace(b"\r\n", b" ").replace(b"\n", b" ").split()
    if len(words) < 3:
        return text
    folded = words[0] + b" " + words[1]
    for word in words[2:]:
        folded += newline + rng.choice((b"\t", b" ", b"\t\t")) + word
    return text.replace(field, folded + newline, 1)


def apply_shape(case, text, rng):
    newline = newline_of(text)
    start, end = header_end_of(text)
    if case == "first-upper":
        return rename_fields(text, lambda name, first: name.upper() if first else name)
    if case == "first-lower":
        return rename_fields(text, lambda name, first: name.lower() if first else name)
    if case == "all-lower":
        return rename_fields(text, lambda name, _first: name.lower())
    if case == "first-rare":
        return cases.header_first(text, rng.choice(RARE_FIRST_FIELDS) + newline)
    if case == "no-blank":
        return after_colons(text, b"")
    if case == "tab-colon":
        return after_colons(text, b"\t")
    if case == "open-blank-line":
        return newline + text[start:]
    if case == "open-space":
        return b" " + text[start:]
    if case == "open-fold":
        return b"\tby mx.example.org; Mon, 3 Mar 2008 10:00:00 +0000" + newline + text[start:]
    if case == "raw-8bit":
        text = with_value_bytes(text, b"subject", rng.choice(UTF8_WORDS))
        return with_value_bytes(text, b"from", rng.choice(UTF8_WORDS))
    if case == "short-block":
        return short_block(text)
    if case == "long-line":
        _start, _lines, closing = mailtext.shape_lines(text)
        if closing is None:
            return text
        value = b" ".join(rng.choice((b"lorem", b"ipsum", b"dolor", b"sit"))
                          for _ in range(rng.randint(220, 500)))
        return text[:closing] + b"X-Long-Line: " + value + newline + text[closing:]
    if case == "no-body":
        return text[:end]
    if case == "many-folds":
        return many_folds(text, rng)
    if case == "mbox-line":
        return MBOX_LINE + newline + text[start:]
    if case == "bare-cr":
        return with_value_bytes(text, b"subject", b"part\rtwo")
    return None

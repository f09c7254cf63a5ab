"""Variants of a mail's text for the layouts of a used disk: a sent copy (no trace of its way),
header blocks made long in several ways, and messages that look like a mail but are not a copy
of it. Each is worked out from the original bytes and the seeded generator alone.
"""

import re

from . import cases, combos, end_cases, header_shapes, mailtext, mutations
from .mixes import choose
from .noise import WORDS

# Fields a mail gains on its way to the reader; a copy in the sender's store has none of them.
TRACE_FIELDS = (b"received", b"return-path", b"delivered-to", b"x-original-to", b"envelope-to",
                b"x-received", b"received-spf", b"authentication-results", b"x-envelope-from",
                b"x-envelope-to")
LONG_KINDS = ("signatures", "references", "recipients", "relays")
_DATE_VALUE = re.compile(rb"(?i)\d{1,2} [a-z]{3} \d{4} \d{2}:\d{2}(:\d{2})?")


def line_end_of(text):
    """The line end the header block uses: CR LF, or a bare LF when it has no CR LF."""
    _start, lines, header_end = mailtext.shape_lines(text)
    head = text[:header_end if header_end is not None else len(text)]
    return b"\r\n" if b"\r\n" in head or not lines else b"\n"


def sent_copy(text):
    """The mail as its sender's store keeps it: every trace field removed."""
    for name in TRACE_FIELDS:
        text = cases.without_fields(text, name)
    return text


def folded_list(name, items, newline):
    """A header field whose items are separated by ", " (or a blank), folded before an item
    when the line would pass 76 bytes."""
    lines = [name + b":"]
    for item in items:
        if len(lines[-1]) + 1 + len(item) > 76 and len(lines) > 0 and lines[-1] != name + b":":
            lines.append(b"\t" + item)
        else:
            lines[-1] += b" " + item
    return newline.join(lines) + newline


def long_fields(kind, rng, size, newline):
    """At least `size` bytes of header fields of a kind."""
    if kind == "signatures":
        return cases.long_header_block(rng, size).replace(b"\r\n", newline)
    block = bytearray()
    number = 0
    while len(block) < size:
        number += 1
        if kind == "references":
            ids = [b"<%d.%s.%x@%s.example.com>" % (rng.randrange(10 ** 9), rng.choice(WORDS)
                                                    .encode(), rng.randrange(1 << 32),
                                                    rng.choice(WORDS).encode())
                   for _ in range(rng.randint(20, 80))]
            block += folded_list(b"References", ids, newline)
        elif kind == "recipients":
            addresses = [b'"%s %s" <%s.%s%d@example.org>,' % (
                rng.choice(WORDS).capitalize().encode(), rng.choice(WORDS).capitalize().encode(),
                rng.choice(WORDS).encode(), rng.choice(WORDS).encode(), rng.randrange(1000))
                for _ in range(rng.randint(40, 160))]
            addresses[-1] = addresses[-1][:-1]
            block += folded_list(b"Cc", addresses, newline)
        else:  # relays: a long chain of hops between the first and the last trace line
            block += (b"Received: from relay%d.example.net (relay%d.example.net [192.0.2.%d])"
                      % (number, number, number % 250 + 1) + newline +
                      b"\tby relay%d.example.net with ESMTP id R%08X" % (number + 1,
                                                                         rng.randrange(1 << 32)) +
                      newline + b"\tfor <reader@example.org>; Tue, 4 Mar 2008 09:%02d:%02d +0000"
                      % (rng.randrange(60), rng.randrange(60)) + newline)
    return bytes(block)


def with_long_header(text, rng, mix):
    """The text with 5 to 20 KB of header fields of the mix's kinds at one of its positions, so
    that the header block runs past 8 KiB and 9 sectors. Returns (text, kind, position)."""
    kind = choose(rng, mix.long_kinds)
    position = choose(rng, mix.long_positions)
    newline = line_end_of(text)
    fields, header_start = cases.header_fields(text)
    names = [name for name, _start, _end in fields]
    if kind == "relays":
        position = "before-from"  # hops lie above the sender's own fields
    if position == "before-from" and b"from" in names:
        at = fields[names.index(b"from")][1]
    elif position == "after-date" and b"date" in names:
        at = fields[names.index(b"date")][2]
    else:
        position = "end"
        at = fields[-1][2] if fields else header_start
    block = long_fields(kind, rng, rng.randint(9000, 20000), newline)
    return text[:at] + block + text[at:], kind, position


def edited_body(text, rng):
    """The text with one sentence line put in at a line start of its body (never at its end,
    so that neither text is a prefix of the other); None when the body has no line to put it
    before."""
    start = mailtext.body_start(text)
    if start is None or start >= len(text):
        return None
    newline = line_end_of(text)
    starts = [start] + [start + match.end() for match in re.finditer(rb"\n", text[start:])
                        if start + match.end() < len(text)]
    at = rng.choice(starts)
    line = (b"Sorry, one more thing about the " + rng.choice(WORDS).encode() + b" " +
            rng.choice(WORDS).encode() + b"." + newline)
    edited = text[:at] + line + text[at:]
    return edited if text[at:] and not edited.startswith(text) else None


def resent(text, rng, number):
    """The same sender and subject, another Date and Message-ID, and an edited body."""
    edited = edited_body(text, rng)
    if edited is None:
        return None
    date = cases.first_field(edited, b"date")
    if date is not None:
        value = b"%d Mar 2009 %02d:%02d:%02d" % (rng.randint(1, 28), rng.randrange(24),
                                                 rng.randrange(60), rng.randrange(60))
        changed = _DATE_VALUE.sub(value, date, count=1)
        if changed == date:
            changed = date.split(b":", 1)[0] + b": Wed, " + value + b" +0000" + \
                line_end_of(text)
        edited = edited.replace(date, changed, 1)
    message_id = cases.first_field(edited, b"message-id")
    made_up = b"Message-ID: <resent.%d.%x@example.com>" % (number, rng.randrange(1 << 32)) + \
        line_end_of(text)
    if message_id is not None:
        edited = edited.replace(message_id, made_up, 1)
    return edited


def lookalike(text, rng, kind, number):
    """A message that looks like `text` (same header, or same sender and subject) but whose
    bytes are no copy of it; None when the text has no body to change."""
    return edited_body(text, rng) if kind == "same-header" else resent(text, rng, number)


def cut_point(text, start_in_cluster, rng):
    """Where a copy of `text` that begins `start_in_cluster` bytes into a cluster was cut: at a
    later cluster boundary (the rest was overwritten) or, for a short mail, a sector boundary,
    always inside the body. Returns (offset, kind) or None when the body is too short."""
    start = mailtext.body_start(text)
    if start is None or len(text) - start < 600:
        return None
    candidates = [offset for offset in range(4096 - start_in_cluster, len(text) - 64, 4096)
                  if offset > start + 64]
    if candidates:
        return rng.choice(candidates), "cluster"
    candidates = [offset for offset in range(512 - start_in_cluster % 512, len(text) - 64, 512)
                  if offset > start + 64]
    if candidates:
        return rng.choice(candidates), "sector"
    return None


def apply(case, text, rng, mix, number=0):
    """The text as `case` has it, and what the truth should say about it."""
    if case == "sent":
        return sent_copy(text), {}
    if case == "long-header":
        changed, kind, position = with_long_header(text, rng, mix)
        return changed, {"long_kind": kind, "long_position": position}
    if "+" in case:  # a shape variant of another case: "no-blank+no-trace"
        first, rest = case.split("+", 1)
        changed, fields = apply(first, text, rng, mix, number)
        changed, more = apply(rest, changed, rng, mix, number)
        return changed, {**fields, **more}
    if case in end_cases.END_CASES:
        return end_cases.apply(case, text, rng), {}
    if case in mutations.COMBO_CASES:
        changed, axes = combos.apply_combo(text, rng, number)
        return changed, {"axes": axes}
    shaped = header_shapes.apply_shape(case, text, rng)
    if shaped is not None:
        return shaped, {}
    mutated = mutations.apply_mutation(case, text, rng, number)
    if mutated is not None:
        return mutated, {}
    return cases.apply_case(case, text, rng, number), {}

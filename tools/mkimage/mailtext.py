"""What the scanner's walk can see of one mail as it lies in an image.

The scanner recognises a mail only at a "Received: " line that directly follows a CR LF it has
stepped on, and accepts it at the first empty line once From, To and Date have been read after
that line, within 8 sectors of it. This module works that out from the bytes of one placed mail,
conservatively: `strict_expected` is true only when every reasonable walk must report the mail at
`trace_offset`.

A placed mail is its text (the bytes as they read in order) plus a list of pieces that map
stretches of that text to raw image positions. Outside a mail store there is one piece; in a
store every 512-byte block is a piece of its own, separated by 16-byte block headers.
"""

import bisect
import re
from dataclasses import dataclass

CRLF = b"\r\n"
# Every line end doubled to CR CR LF by a second conversion to the system's line ends.
DOUBLED_LINE_ENDS = b"\r\r\n"
SECTOR_SIZE = 512
MAX_HEADER_GAP_SECTORS = 8
BLOCK_HEADER_SIZE = 16
BLOCK_MARK = b"\x02\x00\x00"
# A line start strips a block header found up to this far ahead of it.
HEADER_SEARCH_SPAN = 192
# Headers whose values the parser reads before it accepts a mail.
PARSED_NAMES = (b"from: ", b"to: ", b"subject: ", b"date: ", b"x-priority: ", b"content-type: ",
                b"content-transfer-encoding: ", b"cc: ", b"x-attachment: ")
VALUE_WINDOW = 512

# A header value ends at the first byte below 0x0E (NUL, TAB, LF, CR and the other controls).
_VALUE_STOP = re.compile(rb"[\x00-\x0d]")
# A line may also end in CR CR LF: an export that wrote CR LF through a layer turning LF into
# CR LF leaves every line so, and a reader that does not insist on CR LF reads it as one line end.
_BLANK_LINE = re.compile(rb"[ \t]*\r{0,2}\n")
_MULTIPART_FIELD = re.compile(
    rb"(?im)^content-type:[ \t]*multipart/([a-z0-9.+-]+)[^\n]*(?:\n[ \t][^\n]*)*")
_BOUNDARY_PARAMETER = re.compile(rb'(?i)boundary\s*=\s*(?:"([^"\r\n]*)"|([^\s;"]+))')


def value_text(buffer, at):
    """The value the scanner reads from `at`: up to the first byte below 0x0E, at most 511
    bytes; empty when no stop byte lies within 512 bytes."""
    match = _VALUE_STOP.search(buffer, at, at + VALUE_WINDOW)
    if match is None:
        return b""
    return bytes(buffer[at:match.start()])


def starts_with_name(buffer, at, name):
    """Header names match ignoring case over exactly their length, the blank included."""
    return bytes(buffer[at:at + len(name)]).lower() == name


def split_header(text, start=0):
    """The CR LF lines of the top-level header block from `start` on as (start, end) pairs, `end`
    at the CR, and the position of the empty line that closes the block (None when there is
    none). A CR CR LF line end counts as one, `end` at its first CR, as the walk reads it
    without --strict (see DOUBLED_LINE_ENDS)."""
    lines = []
    position = start
    while True:
        line_end = text.find(CRLF, position)
        if line_end < 0:
            return lines, None
        end = line_end - 1 if line_end > position and text[line_end - 1] == 0x0D else line_end
        if end == position:
            return lines, position
        lines.append((position, end))
        position = line_end + 2


def shape_lines(text):
    """The top-level header block read with CR LF, CR CR LF or bare LF line ends, as a reader
    that does not insist on CR LF sees it: the position of its first line (behind any lines of
    nothing but blanks that some messages begin with), its lines as (start, end) pairs with `end`
    before the line end, and the position of the empty line that closes it (None when there is
    none)."""
    start = 0
    while True:
        match = _BLANK_LINE.match(text, start)
        if match is None or match.end() == start:
            break
        start = match.end()
    lines = []
    position = start
    while True:
        newline = text.find(b"\n", position)
        if newline < 0:
            return start, lines, None
        end = newline
        while end > position and newline - end < 2 and text[end - 1] == 0x0D:
            end -= 1
        if end == position:
            return start, lines, position
        lines.append((position, end))
        position = newline + 1


def body_start(text):
    """Position behind the empty line that ends the header block, or None."""
    _start, _lines, header_end = shape_lines(text)
    if header_end is None:
        return None
    newline = text.find(b"\n", header_end)
    return newline + 1 if newline >= 0 else None


def multipart_boundaries(text):
    """Boundary -> multipart subtype, from every multipart Content-Type field in the text."""
    found = {}
    for field in _MULTIPART_FIELD.finditer(text):
        parameter = _BOUNDARY_PARAMETER.search(field.group(0))
        if parameter:
            found[parameter.group(1) or parameter.group(2)] = field.group(1).lower()
    found.pop(b"", None)
    return found


_MAILBOX_SEPARATOR = re.compile(rb"(?m)^From [^\r\n]*:[^\r\n]*\r?\n")


def mailbox_messages(text):
    """Messages that one mail file holds behind a mailbox "From " separator line of its own
    (some mail programs kept a folder's messages in one file like that): for each, the text
    positions of its first header line and of the trace line the walk reports it at (the last
    "Received: " line before From, To and Date have all been read; None when there is none).
    Only separators behind the top-level header block and outside attached messages, followed
    by a header block with From and Date, count."""
    _lines, header_end = split_header(text, shape_lines(text)[0])
    if header_end is None:
        return []
    if _MAILBOX_SEPARATOR.search(text, header_end) is None:
        return []
    attached = embedded_messages(text)
    found = []
    for separator in _MAILBOX_SEPARATOR.finditer(text, header_end):
        if any(first <= separator.start() < end for first, end in attached):
            continue  # an attached message's own separator: the attachment is a part
        start = separator.end()
        trace = None
        seen = set()
        position = start
        while len(seen) < 3:
            line_end = text.find(b"\n", position)
            if line_end < 0 or line_end <= position + (text[line_end - 1:line_end] == b"\r"):
                break  # the text ends, or the empty line ending the block
            if starts_with_name(text, position, b"received: "):
                trace = position
            for name in (b"from: ", b"to: ", b"date: "):
                if starts_with_name(text, position, name):
                    seen.add(name)
            position = line_end + 1
        if b"from: " in seen and b"date: " in seen:
            found.append((start, trace if len(seen) == 3 else None))
    return found


def embedded_messages(text):
    """Text stretches (start, end) of messages attached inside this one as message/rfc822
    parts (declared, or by default in a multipart/digest) that are not transfer-encoded: each
    begins behind its part header's empty line and ends before the next delimiter line of the
    enclosing multipart."""
    boundaries = multipart_boundaries(text)
    if not boundaries:
        return []  # no delimiter line can open a part
    if b"digest" not in boundaries.values() and b"message/rfc822" not in text.lower():
        return []  # no part can be a message: spares a line walk over big attachments
    found = []
    enclosing = None
    part_header = False  # inside a part header, where Content-Type lines count
    rfc822 = encoded = False
    position = 0
    while position < len(text):
        newline = text.find(b"\n", position)
        line_end = len(text) if newline < 0 else newline + 1
        line = text[position:line_end].rstrip(b"\r\n")
        name = line.rstrip(b" \t")[2:] if line.startswith(b"--") else None
        if name is not None and name in boundaries:
            enclosing = name
            part_header = True
            rfc822 = boundaries[name] == b"digest"
            encoded = False
        elif name is not None and name.endswith(b"--") and name[:-2] in boundaries:
            part_header = False
        elif part_header and line == b"":
            part_header = False
            if rfc822 and not encoded and line_end < len(text):
                end = find_delimiter(text, line_end, enclosing)
                if end > line_end:
                    found.append((line_end, end))
                position = max(end, line_end)
                continue
        elif part_header:
            lowered = line.lower()
            if lowered.startswith(b"content-type:"):
                rfc822 = b"message/rfc822" in lowered
            elif lowered.startswith(b"content-transfer-encoding:"):
                encoded = b"base64" in lowered or b"quoted-printable" in lowered
        position = line_end
    return found


def find_delimiter(text, start, boundary):
    """Position of the line end before the delimiter line `--boundary` from `start` on, or the
    end of the text."""
    if boundary is None:
        return len(text)
    pattern = re.compile(rb"\r?\n--" + re.escape(boundary) + rb"(?:--)?[ \t]*(?:\r?\n|$)")
    match = pattern.search(text, start)
    return match.start() if match else len(text)


def header_value(text, lines, name):
    """The unfolded value of the first header `name` (lower case, with colon), or None."""
    for index, (start, end) in enumerate(lines):
        if not starts_with_name(text, start, name):
            continue
        parts = [text[start + len(name):end]]
        for follow_start, follow_end in lines[index + 1:]:
            if text[follow_start:follow_start + 1] not in (b" ", b"\t"):
                break
            parts.append(text[follow_start:follow_end])
        return b"".join(parts).strip()
    return None


@dataclass(frozen=True)
class Piece:
    """`length` bytes of the mail text, from text offset `logical`, lie at image byte `raw`."""

    logical: int
    raw: int
    length: int


class PlacedMail:
    """A mail's text and where its pieces lie; `read_raw(start, end)` reads image bytes."""

    def __init__(self, text, pieces, read_raw, in_store=False):
        self.text = text
        self.pieces = pieces
        self.read_raw = read_raw
        self.in_store = in_store

    def piece_index(self, logical):
        for index, piece in enumerate(self.pieces):
            if piece.logical <= logical < piece.logical + piece.length:
                return index
        return None

    def raw(self, logical):
        """Image position of a text offset; offsets at the very end map behind the last byte."""
        index = self.piece_index(logical)
        if index is None:
            last = self.pieces[-1]
            return last.raw + (logical - last.logical)
        piece = self.pieces[index]
        return piece.raw + (logical - piece.logical)

    def contiguous(self, start, end):
        """True when text offsets [start, end) lie in one piece (no block header between)."""
        if start < 0:
            return False
        first = self.piece_index(start)
        if first is None:
            return False
        piece = self.pieces[first]
        return end <= piece.logical + piece.length


def crlf_ends_nonempty_line(read_raw, raw_position, window=64):
    """Whether the walk steps on the CR LF right before `raw_position`.

    After a CR LF the walk resumes on the second byte of the next line, so of a run of CR LF
    pairs (empty lines) it steps on the first, third, fifth... A "Received: " line is therefore
    seen when the run of CR LF pairs directly before it has odd length: one pair is a non-empty
    line's end, three pairs are that end and two empty lines."""
    start = max(0, raw_position - window)
    before = read_raw(start, raw_position)
    pairs = 0
    end = len(before)
    while end >= 2 and before[end - 2:end] == CRLF:
        pairs += 1
        end -= 2
    if end < 2 and start > 0:
        return False  # a run longer than the window: too odd to promise anything
    return pairs % 2 == 1


def analyse(mail):
    """Ground truth for one placed mail (see tools/README.md for the fields)."""
    text = mail.text
    # What a reader that takes bare LF line ends too sees; the same as below for CR LF mails.
    header_start, any_lines, any_header_end = shape_lines(text)
    # The walk steps over the empty lines a few messages open with as over any other: their
    # block is read from its first line, not ended by them.
    lines, header_end = split_header(text, header_start)
    block_end = header_end if header_end is not None else len(text)
    names = {line: bytes(text[line[0]:line[0] + 10]).lower() for line in lines}
    received = [index for index, line in enumerate(lines) if names[line] == b"received: "]
    header_end_found = header_end if header_end is not None else any_header_end
    message_id = header_value(text, any_lines, b"message-id:")
    result = {
        "trace_offset": None,
        "strict_expected": False,
        "reason": "",
        "header_start": mail.raw(header_start),
        "header_end": mail.raw(header_end_found) if header_end_found is not None else None,
        "has_from": any(starts_with_name(text, s, b"from: ") for s, _ in any_lines),
        "has_to": any(starts_with_name(text, s, b"to: ") for s, _ in any_lines),
        "has_date": any(starts_with_name(text, s, b"date: ") for s, _ in any_lines),
        "has_received": bool(received),
        "received_lines": len(received),
        "message_id": message_id.decode("latin-1") if message_id is not None else None,
        "embedded": [[mail.raw(start), mail.raw(end - 1) + 1]
                     for start, end in embedded_messages(text)],
        "mailbox_messages": [[mail.raw(start), mail.raw(trace) if trace is not None else None]
                             for start, trace in mailbox_messages(text)],
    }

    trace_index = None
    for index in received:
        start = lines[index][0]
        if start < 2 or not mail.contiguous(start - 2, start + 10):
            continue
        if crlf_ends_nonempty_line(mail.read_raw, mail.raw(start)):
            trace_index = index
    if trace_index is None:
        result["reason"] = "no Received line the walk can see"
        if mail.in_store:
            result["expected_across_blocks"] = False
            result["across_blocks_reason"] = result["reason"]
        return result
    trace = lines[trace_index][0]
    result["trace_offset"] = mail.raw(trace)
    result["reason"] = strict_failure(mail, lines, trace_index, header_end, block_end, False)
    result["strict_expected"] = result["reason"] == ""
    if mail.in_store:
        reason = strict_failure(mail, lines, trace_index, header_end, block_end, True)
        result["expected_across_blocks"] = reason == ""
        result["across_blocks_reason"] = reason
    return result


def strict_failure(mail, lines, trace_index, header_end, block_end, across_blocks):
    """Why the mail might not be reported at its trace line; empty when it must be. In a store,
    block headers between the trace line and the header end are allowed only `across_blocks`,
    and then only where their removal is certain."""
    text = mail.text
    trace = lines[trace_index][0]
    if b"\x00" in text[:block_end]:
        return "NUL byte in the header block"
    if header_end is None:
        return "header block has no closing empty line"
    if DOUBLED_LINE_ENDS in text[trace:header_end + len(DOUBLED_LINE_ENDS)]:
        return "CR CR LF line ends, which the walk reads as line ends without --strict only"
    if mail.in_store:
        if across_blocks:
            problem = block_header_problem(mail, lines, trace_index, header_end)
            if problem:
                return problem
        elif not mail.contiguous(trace - 2, header_end + 2):
            return "store block header between the Received line and the header end"
    # A stray block mark would make a line start move text by 16 bytes.
    if BLOCK_MARK in text[trace:header_end + 2 + HEADER_SEARCH_SPAN + 8]:
        return "block-header mark near the header block"
    if not mail.in_store:
        tail_start = mail.raw(header_end)
        tail = mail.read_raw(tail_start, tail_start + 2 + HEADER_SEARCH_SPAN + 8)
        if BLOCK_MARK in tail:
            return "block-header mark near the header block"

    # Text moved by a stripped store header may sit 16 bytes later than its raw position.
    slack = BLOCK_HEADER_SIZE if mail.in_store else 0
    trace_sector = mail.raw(trace) // SECTOR_SIZE
    end_sector = (mail.raw(header_end) + slack) // SECTOR_SIZE
    if end_sector > trace_sector + MAX_HEADER_GAP_SECTORS:
        return f"header end {end_sector - trace_sector} sectors after the Received line"

    # Folded values are joined only from lines that begin with a blank or a tab, so every line
    # that starts with a header name is a line start the parser is handed.
    seen = set()
    for start, _end in lines[trace_index + 1:]:
        for field, name in (("from", b"from: "), ("to", b"to: "), ("date", b"date: ")):
            if field not in seen and starts_with_name(text, start, name):
                if value_text(text, start + len(name)):
                    seen.add(field)
                break
    missing = [field for field in ("from", "to", "date") if field not in seen]
    if missing:
        return "no usable " + "/".join(missing) + " after the Received line"
    return ""


def block_header_problem(mail, lines, trace_index, header_end):
    """Why a block header between the trace line and the header end might change what the walk
    reads; empty when each one is removed or stepped over with a certain outcome.

    While the mail is pending, every line start removes a block header found within 192 bytes.
    A header inside a parsed header line must be removed by that line's start, or the value
    would read binary bytes; one inside any other line may also be stepped over, as it holds no
    CR LF. A header between a CR and its LF, or in a later Received line, is refused: whether
    that line is then seen differs between reasonable walks."""
    text = mail.text
    trace = lines[trace_index][0]
    line_starts = [start for start, _ in lines] + [header_end]
    line_ends = [end for _, end in lines] + [header_end]
    for index in range(1, len(mail.pieces)):
        boundary = mail.pieces[index].logical
        if boundary <= trace or boundary > header_end + 1:
            continue
        previous = mail.pieces[index - 1]
        header = mail.pieces[index].raw - BLOCK_HEADER_SIZE
        if header != previous.raw + previous.length:
            return "the chain's next block is not the next block in the store"
        line = bisect.bisect_right(line_starts, boundary) - 1
        if boundary == line_ends[line] + 1:
            return "store block header between a CR and its LF"
        if line == trace_index:
            continue
        if line < len(lines) and starts_with_name(text, line_starts[line], b"received: "):
            return "store block header in a later Received line"
        owner = line
        while owner > trace_index and text[line_starts[owner]] in b" \t":
            owner -= 1  # a folded line belongs to the header it continues
        parsed = line < len(lines) and any(starts_with_name(text, line_starts[owner], name)
                                           for name in PARSED_NAMES)
        if not parsed:
            continue
        # At a line start that the header directly follows, the walk stands on the header.
        walk_start = mail.raw(line_starts[line]) if line_starts[line] < boundary else header
        if header - ((walk_start + 3) & ~3) > HEADER_SEARCH_SPAN - 4:
            return "store block header too far into a parsed header line to be removed"
    return ""

"""A slow, plain model of the scanner's walk over a whole image, used to check ground truth.

It follows the recognition rules only: CR LF line starts, "Received: " restarting the pending
mail, the header lines that matter for acceptance, the 8-sector limit and the removal of store
block headers. Body handling is reduced to one switch: whether line starts inside a followed
mail's text also remove block headers (a scanner may or may not, depending on its body state),
so a truth that holds under both settings holds for any body handling. Chunks are not modelled:
the image is walked as one buffer, which is what a scanner with chunk margins must amount to.
"""

import mmap

from .mailtext import (BLOCK_HEADER_SIZE, BLOCK_MARK, CRLF, HEADER_SEARCH_SPAN,
                       MAX_HEADER_GAP_SECTORS, SECTOR_SIZE, value_text)

RECEIVED = b"received: "
# Header names whose value is read, in the order the parser tests them.
FIELDS = (("from", b"from: "), ("to", b"to: "), ("subject", b"subject: "), ("date", b"date: "),
          ("priority", b"x-priority: "), ("content_type", b"content-type: "),
          ("transfer_encoding", b"content-transfer-encoding: "), ("cc", b"cc: "))


def strip_block_header(buffer, position):
    """Removes a block header found at a 4-aligned place within 192 bytes after a line start by
    moving the text before it up by 16 bytes; returns the moved line start."""
    aligned = (position + 3) & ~3
    search = aligned + 5
    limit = aligned + HEADER_SEARCH_SPAN - 4 + 5 + len(BLOCK_MARK)
    while True:
        found = buffer.find(BLOCK_MARK, search, limit)
        if found < 0:
            return position
        if (found - aligned - 5) % 4 == 0:
            header = found - 5
            buffer[position + BLOCK_HEADER_SIZE:header + BLOCK_HEADER_SIZE] = \
                buffer[position:header]
            return position + BLOCK_HEADER_SIZE
        search = found + 1


def folded_end(buffer, value_end):
    """End of a value whose following lines that start with a blank or tab are joined to it."""
    while buffer[value_end:value_end + 2] == CRLF and \
            buffer[value_end + 2:value_end + 3] in (b" ", b"\t"):
        value_end += 2 + len(value_text(buffer, value_end + 2))
    return value_end


def parse_header_line(buffer, position, pending):
    """Returns (skip, accepted) for the header line at `position`."""
    head = bytes(buffer[position:position + 27]).lower()
    for field, name in FIELDS:
        if pending.get(field) or not head.startswith(name):
            continue
        value = value_text(buffer, position + len(name))
        pending[field] = value
        end = position + len(name) + len(value)
        if field == "subject" and value:
            end = folded_end(buffer, end)
        return end - position - 1, False
    if head.startswith(CRLF):
        return 0, bool(pending.get("from") and pending.get("to") and pending.get("date"))
    return 0, False


def walk(buffer, strip_in_body):
    """Positions at which the model records a mail, in order."""
    records = []
    position = 0
    pending = None
    following = False
    while True:
        line_break = buffer.find(CRLF, position)
        if line_break < 0:
            return records
        line = line_break + 2
        if bytes(buffer[line:line + len(RECEIVED)]).lower() == RECEIVED:
            pending = {"start": line}
            following = False
            position = line + len(RECEIVED)
            continue
        if pending is not None and \
                line // SECTOR_SIZE > pending["start"] // SECTOR_SIZE + MAX_HEADER_GAP_SECTORS:
            pending = None
        skip = 0
        if pending is not None:
            line = strip_block_header(buffer, line)
            skip, accepted = parse_header_line(buffer, line, pending)
            if accepted:
                records.append(pending["start"])
                pending = None
                following = True
            if skip:
                position = line + skip + 1
                continue
        if following and strip_in_body:
            line = strip_block_header(buffer, line)
        position = line + 1


def walk_image(path, strip_in_body):
    """Walks an image file on a private copy-on-write mapping; the file is not changed."""
    with open(path, "rb") as file:
        with mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_COPY) as buffer:
            return walk(buffer, strip_in_body)

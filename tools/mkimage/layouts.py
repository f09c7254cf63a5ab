"""The image layouts. Each lays out the mails through an ImageWriter and returns where it put
them; the ground truth is worked out afterwards from the bytes actually written."""

import re
import struct
from dataclasses import dataclass, field

from . import mailtext
from .mailtext import Piece
from .noise import CLUSTER_SIZE

CHUNK_SIZE = 1 << 20
BLOCK_DATA_SIZE = 512
BLOCK_SIZE = mailtext.BLOCK_HEADER_SIZE + BLOCK_DATA_SIZE
BLOCK_SIZE_FIELD = 0x200
STORE_HEADER_SIZE = 1024
STORE_SIGNATURE = b"QLN-TEST-STORE\x00\x01"
MBOX_SEPARATOR = b"From sender@example.com Sat Jan  1 00:00:00 2000\r\n"


@dataclass
class Placement:
    file: str
    text: bytes
    pieces: list
    extra: dict = field(default_factory=dict)


@dataclass
class LayoutResult:
    placements: list
    extra: dict = field(default_factory=dict)


def single_piece(text, raw):
    return [Piece(0, raw, len(text))]


def plan(text):
    """Analysis of a mail on its own, as if it followed a zero byte at image position 1."""
    padded = b"\x00" + text
    view = mailtext.PlacedMail(text, single_piece(text, 1),
                               lambda start, end: padded[max(0, start):max(0, end)])
    lines, header_end = mailtext.split_header(text, mailtext.shape_lines(text)[0])
    analysis = mailtext.analyse(view)
    return analysis, lines, header_end


def noise_clusters(writer, noise, count):
    for _ in range(count):
        _kind, data = noise.cluster()
        writer.fill(data, CLUSTER_SIZE)


def end_cluster(writer, noise):
    """Slack from the current position to the next cluster boundary."""
    size = writer.padding_to_multiple(CLUSTER_SIZE)
    writer.fill(noise.slack(size), size)


def place_at_cluster(writer, noise, name, text):
    """Writes a mail at the next cluster boundary; returns its placement."""
    end_cluster(writer, noise)
    if writer.last_byte == 0x0A:
        noise_clusters(writer, noise, 1)  # the mail's first line must not follow a CR LF
    start = writer.position
    writer.write(text)
    return Placement(name, text, single_piece(text, start))


def layout_deleted(writer, mails, rng, noise, options):
    noise_clusters(writer, noise, rng.randint(1, 3))
    placements = []
    for name, text in mails:
        placements.append(place_at_cluster(writer, noise, name, text))
        end_cluster(writer, noise)
        noise_clusters(writer, noise, rng.choice((0, 1, 1, 2, 3)))
    noise_clusters(writer, noise, 1)
    pad_to_size(writer, noise, options.size)
    return LayoutResult(placements)


def pad_to_size(writer, noise, size):
    if size and writer.relative < size:
        end_cluster(writer, noise)
        writer.hole_to(max(size, writer.relative))


def layout_tail(writer, mails, rng, noise, options):
    """Like deleted, with the mail that best fits a trailing partial sector moved to the end."""
    last = choose_tail_mail(mails)
    others = [mail for index, mail in enumerate(mails) if index != last]
    if others:
        result = layout_deleted(writer, others, rng, noise, options)
    else:
        noise_clusters(writer, noise, 1)
        result = LayoutResult([])
    name, text = mails[last]
    end_cluster(writer, noise)
    noise_clusters(writer, noise, 1)
    _analysis, _lines, header_end = plan(text)
    lead = tail_lead(writer.position, len(text), header_end)
    writer.write(noise.random_bytes(lead) if lead else b"")
    start = writer.position
    writer.write(text)
    result.placements.append(Placement(name, text, single_piece(text, start),
                                       {"tail_lead": lead}))
    return result


def choose_tail_mail(mails):
    """The mail with a trace line and the shortest body: its header end can then lie in the
    partial sector too, so the scanner has to read that sector to accept it."""
    best = None
    for index, (_name, text) in enumerate(mails):
        analysis, _lines, header_end = plan(text)
        if not analysis["strict_expected"]:
            continue
        body = len(text) - (header_end + 2)
        if best is None or body < best[0]:
            best = (body, index)
    return best[1] if best else len(mails) - 1


def tail_lead(position, length, header_end):
    """Bytes of noise before the last mail so that the image ends inside a sector, if possible
    with the header's closing empty line in that same last sector."""
    fallback = None
    for lead in range(0, mailtext.SECTOR_SIZE):
        end = position + lead + length
        if end % mailtext.SECTOR_SIZE == 0:
            continue
        if fallback is None:
            fallback = lead
        if header_end is None:
            break
        last_sector = (end - 1) // mailtext.SECTOR_SIZE
        if (position + lead + header_end) // mailtext.SECTOR_SIZE == last_sector:
            return lead
    return fallback


def escape_mbox(text):
    """mboxrd quoting: a line that starts with zero or more '>' and "From " gains one '>'."""
    if b"From " not in text:
        return text
    return re.sub(rb"(?m)(?<=\n)(>*From )|\A(>*From )",
                  lambda match: b">" + match.group(0), text)


def unescape_mbox(text):
    if b"From " not in text:
        return text
    return re.sub(rb"(?m)(?<=\n)>(>*From )|\A>(>*From )",
                  lambda match: match.group(0)[1:], text)


def layout_mbox(writer, mails, rng, noise, options):
    noise_clusters(writer, noise, rng.randint(1, 2))
    placements = []
    groups = split_groups(len(mails), rng)
    for group in groups:
        end_cluster(writer, noise)
        if writer.last_byte == 0x0A:
            noise_clusters(writer, noise, 1)
        for index in group:
            name, original = mails[index]
            text = escape_mbox(original)
            writer.write(MBOX_SEPARATOR)
            start = writer.position
            writer.write(text)
            placements.append(Placement(name, text, single_piece(text, start),
                                        {"mbox_file": groups.index(group)}))
            writer.write(b"\r\n" if text.endswith(b"\r\n") else b"\r\n\r\n")
        end_cluster(writer, noise)
        noise_clusters(writer, noise, rng.randint(1, 3))
    pad_to_size(writer, noise, options.size)
    return LayoutResult(placements)


def split_groups(count, rng):
    """Splits mail indices into one to three mbox files."""
    if count < 3:
        return [list(range(count))]
    cuts = sorted(rng.sample(range(1, count), rng.randint(0, 2)))
    bounds = [0] + cuts + [count]
    return [list(range(bounds[i], bounds[i + 1])) for i in range(len(bounds) - 1)]


def store_slot_is_usable(offset):
    """A block header whose own bytes held a CR LF, or a false mark before the real one, would
    make the walk see things no store writer means; such slots are left free."""
    header = struct.pack("<II", offset, BLOCK_SIZE_FIELD)
    return b"\r\n" not in header and header[1:4] != mailtext.BLOCK_MARK


@dataclass
class Store:
    """A mail store's bytes, and per mail its block offsets (from the store base) in chain
    order and the (text offset, offset in the store, length) of each block's data."""

    data: bytes
    chains: list
    pieces: list


def build_store(texts, rng, fragment):
    """Lays the texts out in a mail store of 528-byte blocks: in store order with some free
    blocks between mails, or with `fragment` spread over the store in shuffled order."""
    # Text split into 512-byte block data, one list per mail.
    block_data = []
    for text in texts:
        count = max(1, -(-len(text) // BLOCK_DATA_SIZE))
        block_data.append([text[i * BLOCK_DATA_SIZE:(i + 1) * BLOCK_DATA_SIZE]
                           for i in range(count)])
    needed = sum(len(blocks) for blocks in block_data)

    slots = []  # block offsets relative to the store base, in store order
    offset = STORE_HEADER_SIZE
    if fragment:
        while len(slots) < needed + needed // 8 + 1:
            if store_slot_is_usable(offset):
                slots.append(offset)
            offset += BLOCK_SIZE
        free_slots = list(slots)
        rng.shuffle(free_slots)
        assignments = []
        for blocks in block_data:
            assignments.append([free_slots.pop() for _ in blocks])
        total_slots = offset
    else:
        assignments = []
        for blocks in block_data:
            if rng.random() < 0.15:
                offset += BLOCK_SIZE  # a free block between mails
            chain = []
            for _ in blocks:
                while not store_slot_is_usable(offset):
                    offset += BLOCK_SIZE
                chain.append(offset)
                offset += BLOCK_SIZE
            assignments.append(chain)
        total_slots = offset

    store = bytearray(total_slots)
    store[0:len(STORE_SIGNATURE)] = STORE_SIGNATURE
    all_pieces = []
    for blocks, chain in zip(block_data, assignments):
        pieces = []
        logical = 0
        for index, (data, slot) in enumerate(zip(blocks, chain)):
            following = chain[index + 1] if index + 1 < len(chain) else 0
            struct.pack_into("<IIII", store, slot, slot, BLOCK_SIZE_FIELD, len(data), following)
            data_start = slot + mailtext.BLOCK_HEADER_SIZE
            store[data_start:data_start + len(data)] = data
            pieces.append((logical, data_start, len(data)))
            logical += len(data)
        all_pieces.append(pieces)
    return Store(bytes(store), assignments, all_pieces)


def store_pieces(store_base, pieces):
    return [Piece(logical, store_base + at, length) for logical, at, length in pieces]


def layout_dbx(writer, mails, rng, noise, options):
    noise_clusters(writer, noise, rng.randint(1, 2))
    end_cluster(writer, noise)
    store_base = writer.position
    store = build_store([text for _name, text in mails], rng, options.fragment)
    placements = []
    for (name, text), chain, pieces in zip(mails, store.chains, store.pieces):
        placements.append(Placement(name, text, store_pieces(store_base, pieces),
                                    {"store_chain": chain}))
    writer.write(store.data)
    end_cluster(writer, noise)
    noise_clusters(writer, noise, rng.randint(1, 2))
    pad_to_size(writer, noise, options.size)
    return LayoutResult(placements, {"store_base": store_base, "store_size": len(store.data)})


STRADDLE_CUTS = ("after-received", "crlf-before-received", "after-received", "inside-received",
                 "after-received", "at-received", "after-received", "inside-header-end",
                 "after-received", "before-crlf")


def straddle_cut(kind, text, analysis, lines, header_end, rng):
    """Offset inside the mail where a chunk boundary is to fall, and the kind it ended up as."""
    if analysis["trace_offset"] is None or header_end is None:
        end = header_end if header_end is not None else len(text)
        return max(1, end // 2), "header-middle"
    trace = analysis["trace_offset"] - 1  # the plan puts the mail at image position 1
    if kind == "crlf-before-received":
        return trace - 1, kind
    if kind == "before-crlf":
        return trace - 2, kind
    if kind == "at-received":
        return trace, kind
    if kind == "inside-received":
        return trace + rng.randint(1, 9), kind
    if kind == "inside-header-end":
        return header_end + rng.choice((-1, 0, 1)), kind
    needed = [start for start, _ in lines
              if start > trace and any(mailtext.starts_with_name(text, start, name)
                                       for name in (b"from: ", b"to: ", b"date: "))]
    latest = min(needed) if needed else header_end
    return rng.randint(trace + 10, max(trace + 10, latest)), "after-received"


def layout_straddle(writer, mails, rng, noise, options):
    noise_clusters(writer, noise, 1)
    placements = []
    for index, (name, text) in enumerate(mails):
        analysis, lines, header_end = plan(text)
        cut, kind = straddle_cut(STRADDLE_CUTS[index % len(STRADDLE_CUTS)], text, analysis,
                                 lines, header_end, rng)
        lead = rng.randint(64, 2048)
        boundary = -(-(writer.relative + lead + cut) // CHUNK_SIZE) * CHUNK_SIZE
        writer.hole_to(boundary - cut - lead)
        writer.write(noise.random_bytes(lead) if rng.random() < 0.5
                     else noise.prose(lead - 1, "\r\n") + b"\x00")
        start = writer.position
        assert start == writer.origin + boundary - cut, "filler before the mail has a wrong size"
        writer.write(text)
        placements.append(Placement(name, text, single_piece(text, start),
                                    {"boundary": writer.origin + boundary, "cut": kind}))
        end_cluster(writer, noise)
        noise_clusters(writer, noise, rng.randint(1, 2))
    pad_to_size(writer, noise, options.size)
    return LayoutResult(placements)


def layout_bench(writer, mails, rng, noise, options):
    """A big image of mostly non-mail data with mails at cluster boundaries, written in 1 MiB
    pieces so that a gibibyte takes seconds."""
    size = options.size or (1 << 30)
    wanted = options.mails or 1500
    clusters = size // CLUSTER_SIZE
    stride = max(1, clusters // max(1, wanted))
    overlays = []  # (relative position, bytes), in position order
    placements_relative = []
    next_free = CLUSTER_SIZE
    for number in range(wanted):
        name, text = mails[number % len(mails)]
        cluster = number * stride + rng.randrange(max(1, stride // 2))
        position = max(next_free, cluster * CLUSTER_SIZE)
        end = position + len(text)
        if end + CLUSTER_SIZE > size:
            break
        overlays.append((position - 1, b"\x00"))  # the mail's first line follows no CR LF
        overlays.append((position, text))
        slack = -end % CLUSTER_SIZE
        if slack:
            overlays.append((end, bytes(slack)))
        placements_relative.append((name, text, position))
        next_free = end + slack + CLUSTER_SIZE

    pool = noise.text_pool(4 * CHUNK_SIZE)
    overlay_index = 0
    for piece_start in range(0, size, CHUNK_SIZE):
        piece_size = min(CHUNK_SIZE, size - piece_start)
        kind = rng.choices(("random", "zeros", "text"), (65, 20, 15))[0]
        if kind == "random":
            piece = bytearray(rng.randbytes(piece_size))
        elif kind == "zeros":
            piece = bytearray(piece_size)
        else:
            begin = rng.randrange(len(pool) - piece_size + 1)
            piece = bytearray(pool[begin:begin + piece_size])
        piece_end = piece_start + piece_size
        while overlay_index < len(overlays) and overlays[overlay_index][0] < piece_end:
            position, data = overlays[overlay_index]
            low = max(position, piece_start)
            high = min(position + len(data), piece_end)
            piece[low - piece_start:high - piece_start] = data[low - position:high - position]
            if position + len(data) > piece_end:
                break  # continues into the next piece
            overlay_index += 1
        writer.write(bytes(piece))
    placements = [Placement(name, text, single_piece(text, writer.origin + position))
                  for name, text, position in placements_relative]
    return LayoutResult(placements, {"bench_mails_requested": wanted})


LAYOUTS = {
    "deleted": layout_deleted,
    "dbx": layout_dbx,
    "mbox": layout_mbox,
    "straddle": layout_straddle,
    "tail": layout_tail,
    "bench": layout_bench,
}

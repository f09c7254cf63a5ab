"""Layouts of the benchmark images, one kind of content each: dense mail (mailbox files back to
back), mail with big base64 attachments among other data, plain text, random bytes and zeros.
Each writes exactly --size bytes in big pieces, so that a gibibyte takes a minute or less.
"""

import math

from . import bench_mails
from .layouts import MBOX_SEPARATOR, LayoutResult, Placement, end_cluster, escape_mbox, \
    noise_clusters, single_piece
from .noise import CLUSTER_SIZE

GIB = 1 << 30
MIB = 1 << 20
PIECE_SIZE = MIB
# Dense mail: mailbox files of 32 to 256 MiB, a few noise clusters between them.
MBOX_FILE_SIZES = (32 * MIB, 256 * MIB)
# Share of the mails that are byte for byte a mail placed before (the same mail kept in two
# folders or archives).
EXACT_COPY_SHARE = 0.05
# Attachment image: share of the mails with an attachment, its decoded size (log-uniform), the
# most of the image all mails may take, and what the other data is made of.
ATTACHMENT_SHARE = 0.25
ATTACHMENT_SIZES = (256 * 1024, 3 * MIB)
MAIL_SHARE_LIMIT = 0.6
ATTACHMENT_KINDS = (("photo", 60), ("document", 20), ("table", 20))
FILLER_KINDS = (("random", 40), ("zeros", 25), ("text", 20), ("html", 15))
MAILS_PER_GIB = 1500
DEFAULT_SIZES = {"bench-dense": GIB, "bench-attachments": 2 * GIB, "bench-text": GIB,
                 "bench-random": GIB, "bench-zeros": GIB}


def image_size(options, layout):
    return options.size or DEFAULT_SIZES[layout]


def pad_to(writer, size):
    """Zeros up to exactly `size` bytes of layout, written out rather than left as holes."""
    while writer.relative < size:
        writer.write(bytes(min(PIECE_SIZE, size - writer.relative)))


def layout_dense(writer, mails, rng, noise, options):
    """Mailbox files back to back, filled with the inputs reused round after round in a new
    order, each reuse a mail of its own (bench_mails.vary) and a few exact copies."""
    size = image_size(options, "bench-dense")
    placements = []
    order = []
    number = 0
    noise_clusters(writer, noise, 1)
    while True:
        file_end = writer.relative + rng.randint(*MBOX_FILE_SIZES)
        end_cluster(writer, noise)
        started = False
        while writer.relative < min(file_end, size):
            if not order:
                order = list(range(len(mails)))
                rng.shuffle(order)
            name, original = mails[order[-1]]
            if placements and rng.random() < EXACT_COPY_SHARE:
                copied = placements[rng.randrange(max(0, len(placements) - 5000),
                                                  len(placements))]
                name, text, varied = copied.file, copied.text, copied.extra["varied"]
            else:
                varied = number >= len(mails)
                text = escape_mbox(bench_mails.vary(original, number, rng) if varied
                                   else original)
                order.pop()
            ending = b"\r\n" if text.endswith(b"\r\n") else b"\r\n\r\n"
            if writer.relative + len(MBOX_SEPARATOR) + len(text) + len(ending) \
                    + 2 * CLUSTER_SIZE > size:
                return finish(writer, size, placements)
            writer.write(MBOX_SEPARATOR)
            placements.append(Placement(name, text, single_piece(text, writer.position),
                                        {"varied": varied}))
            writer.write(text + ending)
            number += 1
            started = True
        if not started:
            return finish(writer, size, placements)
        end_cluster(writer, noise)
        noise_clusters(writer, noise, rng.randint(1, 3))


def finish(writer, size, placements):
    pad_to(writer, size)
    return LayoutResult(placements)


class FillerSource:
    """Pieces of other data: random bytes, zeros, mixed text (prose, HTML, header-like lines,
    LF and CR LF lines) and HTML, cut from pools made once."""

    def __init__(self, rng, noise, size):
        self.rng = rng
        pool_size = max(2 * PIECE_SIZE, min(4 * MIB, size // 4))  # small images build fast
        self.text_pool = noise.text_pool(pool_size)
        self.html_pool = b"\r\n".join(noise.html(16 * 1024)
                                       for _ in range(pool_size // (16 * 1024)))

    def piece(self, size):
        kind = self.rng.choices(*zip(*FILLER_KINDS))[0]
        if kind == "random":
            return self.rng.randbytes(size)
        if kind == "zeros":
            return bytes(size)
        pool = self.text_pool if kind == "text" else self.html_pool
        begin = self.rng.randrange(len(pool) - size + 1)
        return pool[begin:begin + size]

    def write(self, writer, size):
        """`size` bytes of pieces, the last byte a NUL so that a mail behind them starts no
        line of its own."""
        while size > 0:
            piece = self.piece(min(size, PIECE_SIZE))
            size -= len(piece)
            writer.write(piece if size else piece[:-1] + b"\x00")


def attachment_plan(mails, rng, size, count):
    """Per mail to place: (input index, attachment kind or None, decoded attachment size)."""
    plan = []
    low, high = ATTACHMENT_SIZES
    for number in range(count):
        kind = None
        attachment = 0
        if rng.random() < ATTACHMENT_SHARE:
            kind = rng.choices(*zip(*ATTACHMENT_KINDS))[0]
            attachment = int(math.exp(rng.uniform(math.log(low), math.log(high))))
        plan.append((number % len(mails), kind, attachment))
    base64_total = sum(attachment * 4 // 3 for _index, _kind, attachment in plan)
    other_total = sum(len(mails[index][1]) for index, _kind, _attachment in plan)
    room = size * MAIL_SHARE_LIMIT - other_total
    if base64_total > room:  # a small image: smaller attachments rather than fewer mails
        scale = max(room, 0) / base64_total
        plan = [(index, kind, int(attachment * scale)) for index, kind, attachment in plan]
    return plan


def attachment_payload(kind, size, rng, filler):
    if kind == "photo":
        return rng.randbytes(size)
    if kind == "table":
        pool = filler.text_pool
        return b"".join(pool[:min(size - done, len(pool))] for done in range(0, size, len(pool)))
    half = size // 2  # a document: text objects and compressed streams
    return b"%PDF-1.4\n" + filler.piece(half) + rng.randbytes(size - half)


def layout_attachments(writer, mails, rng, noise, options):
    """Mails at cluster starts (deleted files) among 64 KiB to 1 MiB pieces of random bytes,
    zeros, text and HTML; a quarter of them carry a base64 attachment of 256 KiB to 3 MiB."""
    size = image_size(options, "bench-attachments")
    count = options.mails or max(1, round(MAILS_PER_GIB * size / GIB))
    filler = FillerSource(rng, noise, size)
    texts = []
    for number, (index, kind, attachment) in enumerate(attachment_plan(mails, rng, size, count)):
        name, text = mails[index]
        extra = {"varied": number >= len(mails), "attachment": None}
        if extra["varied"]:
            text = bench_mails.vary(text, number, rng)
        if kind:
            payload = attachment_payload(kind, attachment, rng, filler)
            text = bench_mails.with_attachment(text, number, kind, payload, rng)
            media_type, name_pattern = bench_mails.ATTACHMENT_TYPES[kind]
            extra["attachment"] = {"name": (name_pattern % number).decode(),
                                   "type": media_type.decode(), "size": len(payload)}
        texts.append((name, text, extra))
    clusters = lambda length: -(-length // CLUSTER_SIZE)  # noqa: E731
    free = size // CLUSTER_SIZE - sum(clusters(len(text)) for _name, text, _extra in texts) - 2
    while free < len(texts) + 1:  # too small for every mail with a gap in front
        texts.pop()
        free = size // CLUSTER_SIZE - sum(clusters(len(text)) for _name, text, _ in texts) - 2
    weights = [rng.expovariate(1.0) for _ in range(len(texts) + 1)]
    spare = (free - len(weights)) / sum(weights)
    gaps = [1 + int(spare * weight) for weight in weights]
    placements = []
    for gap, (name, text, extra) in zip(gaps, texts):
        filler.write(writer, gap * CLUSTER_SIZE)
        placements.append(Placement(name, text, single_piece(text, writer.position), extra))
        writer.write(text)
        end_cluster(writer, noise)
    filler.write(writer, size - writer.relative)
    return LayoutResult(placements, {"bench_mails_requested": count})


def text_rotations(pool, rng):
    """The pool's lines again and again, each time from a random line on: every line ends in
    CR LF, also where one rotation meets the next."""
    starts = [0] + [index + 2 for index in range(len(pool) - 2) if pool[index:index + 2] == b"\r\n"]
    while True:
        begin = rng.choice(starts)
        yield pool[begin:] + pool[:begin]


def layout_plain(kind):
    """An image of one kind of content and no mail."""
    def layout(writer, _mails, rng, noise, options):
        size = image_size(options, f"bench-{kind}")
        if kind == "text":
            prose = noise.prose(max(2 * PIECE_SIZE, min(8 * MIB, size // 4)), "\r\n")
            rotations = text_rotations(prose[:prose.rindex(b"\r\n") + 2], rng)
        while writer.relative < size:
            piece_size = min(PIECE_SIZE, size - writer.relative)
            if kind == "random":
                writer.write(rng.randbytes(piece_size))
            elif kind == "zeros":
                writer.write(bytes(piece_size))
            else:
                writer.write(next(rotations)[:size - writer.relative])
        return LayoutResult([])
    return layout


LAYOUTS = {
    "bench-dense": layout_dense,
    "bench-attachments": layout_attachments,
    "bench-text": layout_plain("text"),
    "bench-random": layout_plain("random"),
    "bench-zeros": layout_plain("zeros"),
}

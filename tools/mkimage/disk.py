"""Layouts of a used disk: mails where a carver meets them on disks nobody made for it, each
with what lies before and behind it drawn from a mix (mixes.py).

- `glued`: a mail's first line follows other bytes directly, inside a sector;
- `glued-chunk`: the same, with a 1 MiB boundary cutting its header block;
- `sector`: a mail at a sector start behind other data;
- `slack`: a mail at a cluster start, its last byte followed directly by old data;
- `disk`: the mails (usually a --case variant) at the places the mix has for that case.

Every mail is followed by what the mix draws (`after`); `slack` always by old data.
"""

import random

from . import endings, mailtext, variants
from .layouts import CHUNK_SIZE, LayoutResult, Placement, single_piece
from .mailtext import SECTOR_SIZE
from .mixes import MIXES, choose
from .noise import CLUSTER_SIZE, DECOY_KINDS
from .olddata import OldData, mail_fragments

CHUNK_CUTS = ("first-line", "after-first-line", "middle", "before-end", "end")


class DiskWriter:
    """Writes mails and what lies around them; keeps their placements and the decoys."""

    def __init__(self, writer, rng, noise, mix, mails):
        self.writer = writer
        self.rng = rng
        self.noise = noise
        self.mix = mix
        self.old = OldData(rng, mail_fragments(text for _name, text in mails))
        self.placements = []
        self.decoys = []

    # Between mails.

    def noise_clusters(self, count):
        for _ in range(count):
            kind = choose(self.rng, self.mix.noise)
            start = self.writer.position
            if kind.startswith("old:"):
                size = self.rng.randint(CLUSTER_SIZE // 4, CLUSTER_SIZE)
                data = self.old.window(kind[4:], size)
                self.writer.write(data + bytes(CLUSTER_SIZE - size))
            elif kind in DECOY_KINDS:
                data, length = self.noise.decoy_cluster(kind)
                self.writer.write(data)
                self.decoys.append([start, start + length, kind])
            else:
                _kind, data = self.noise.cluster(kind)
                self.writer.fill(data, CLUSTER_SIZE)
                if kind == "headers":
                    self.decoys.append([start, start + len(data.rstrip(b"\x00")), kind])

    def gap(self):
        self.noise_clusters(self.rng.choice(self.mix.gaps))

    def to_cluster_start(self):
        """Zeros to the next cluster boundary; a noise cluster more when the last byte written
        is a line end (a mail's first line must not follow one unless a place says so)."""
        self.writer.hole_to(self.writer.relative + self.writer.padding_to_multiple(CLUSTER_SIZE))
        if self.writer.last_byte == 0x0A:
            self.noise_clusters(1)
            while self.writer.last_byte == 0x0A:
                self.writer.write(b"\x00" * CLUSTER_SIZE)

    # Before a mail.

    def sector_lead(self, kind, size):
        if kind == "zeros":
            return None
        if kind == "text-line":
            data = bytearray(self.old.lead("text-crlf", size))
            data[-2:] = b"\r\n"
            return bytes(data)
        return self.old.lead(kind, size)

    def go_to_place(self, place):
        """Writes what lies before a mail at `place`; returns the truth fields it adds."""
        self.to_cluster_start()
        if place == "cluster":
            return {}
        if place == "sector":
            kind = choose(self.rng, self.mix.sector_leads)
            # Zero sectors: a whole cluster of the lead in front, the mail at a cluster start.
            sectors = self.rng.randint(0, CLUSTER_SIZE // SECTOR_SIZE - 1) or \
                CLUSTER_SIZE // SECTOR_SIZE
            data = self.sector_lead(kind, sectors * SECTOR_SIZE)
            self.writer.fill(data, sectors * SECTOR_SIZE)
            return {"lead": kind}
        kind = choose(self.rng, self.mix.leads)
        size = self.rng.randint(1, 2 * CLUSTER_SIZE - 1)
        if size % SECTOR_SIZE == 0:
            size += self.rng.randint(1, SECTOR_SIZE - 1)
        self.writer.write(self.old.lead(kind, size))
        return {"lead": kind}

    def go_across_chunk(self, text):
        """Holes and a lead before a glued mail, so that a 1 MiB boundary cuts its header block
        where the mix says; returns the truth fields it adds."""
        cut_kind = choose(self.rng, self.mix.chunk_cuts)
        cut = chunk_cut(text, cut_kind, self.rng)
        if cut % SECTOR_SIZE == 0:
            cut += 1  # the mail would begin at a sector start
        kind = choose(self.rng, self.mix.leads)
        lead = self.rng.randint(64, 2048)
        self.to_cluster_start()
        boundary = -(-(self.writer.relative + lead + cut + CLUSTER_SIZE) // CHUNK_SIZE) * \
            CHUNK_SIZE
        self.writer.hole_to(boundary - cut - lead)
        self.writer.write(self.old.lead(kind, lead))
        return {"lead": kind, "cut": cut_kind, "boundary": self.writer.origin + boundary}

    # Behind a mail.

    def finish(self, after, text):
        """Fills the rest of the cluster of a mail whose text is `text`; returns the truth
        fields it adds. Old data that leaves the mail's end unclear (endings.py) is drawn again
        unless the mix lets this one through."""
        size = self.writer.padding_to_multiple(CLUSTER_SIZE)
        fields = {"after": after}
        following = None
        if after == "zeros" or size == 0:
            self.writer.hole(size)
        elif after == "random":
            following = self.noise.random_bytes(size)
            self.writer.write(following)
        else:
            zeros = self.writer.padding_to_multiple(SECTOR_SIZE) if after == "sector-zeros" \
                else 0
            unclear_allowed = self.rng.random() < self.mix.unclear_share
            for _attempt in range(12):
                kind = choose(self.rng, self.mix.slack_kinds)
                following = bytes(zeros) + self.old.slack(kind, size - zeros)
                if unclear_allowed or endings.end_is_clear(text, following):
                    self.writer.write(following)
                    fields["slack"] = kind
                    break
            else:  # nothing but a NUL ends a mail without a final line break
                following = None
                self.writer.hole(size)
                fields["after"] = "zeros"
        fields["end_clear"] = endings.end_is_clear(text, following)
        return fields

    # Mails.

    def place(self, name, text, place, after=None, **extra):
        """Writes a mail at a kind of place and what follows it; returns its placement."""
        fields = self.go_across_chunk(text) if place == "chunk" else self.go_to_place(place)
        start = self.writer.position
        self.writer.write(text)
        fields.update(self.finish(after or choose(self.rng, self.mix.after), text))
        placement = Placement(name, text, single_piece(text, start),
                              {"place": place, **fields, **extra})
        self.placements.append(placement)
        return placement

    def result(self, extra=None):
        self.to_cluster_start()
        self.noise_clusters(1)
        placements = sorted(self.placements, key=lambda placement: placement.pieces[0].raw)
        return LayoutResult(placements, {"mix": self.mix.name, "decoys": self.decoys,
                                         **(extra or {})})


def chunk_cut(text, kind, rng):
    """Offset in the text where the chunk boundary falls for a cut kind."""
    _start, lines, header_end = mailtext.shape_lines(text)
    end = header_end if header_end is not None else len(text)
    if not lines:
        return max(1, end // 2)
    first_end = lines[0][1]
    if kind == "first-line":
        return rng.randint(1, max(1, first_end))
    if kind == "after-first-line":
        return min(first_end + rng.randint(1, 3), end)
    if kind == "before-end":
        return max(1, lines[-1][0] + rng.randint(0, max(0, lines[-1][1] - lines[-1][0])))
    if kind == "end":
        return max(1, end + rng.choice((-1, 0, 1)))
    return rng.randint(1, max(1, end))


def disk_writer(writer, mails, rng, noise, options):
    return DiskWriter(writer, rng, noise, MIXES[options.mix], mails)


def layout_glued(writer, mails, rng, noise, options):
    disk = disk_writer(writer, mails, rng, noise, options)
    for name, text in mails:
        disk.gap()
        disk.place(name, text, "glued")
    return disk.result()


def layout_glued_chunk(writer, mails, rng, noise, options):
    disk = disk_writer(writer, mails, rng, noise, options)
    for name, text in mails:
        disk.gap()
        disk.place(name, text, "chunk")
    return disk.result()


def layout_sector(writer, mails, rng, noise, options):
    disk = disk_writer(writer, mails, rng, noise, options)
    for name, text in mails:
        disk.gap()
        disk.place(name, text, "sector")
    return disk.result()


def layout_slack(writer, mails, rng, noise, options):
    disk = disk_writer(writer, mails, rng, noise, options)
    for name, text in mails:
        disk.gap()
        disk.place(name, text, "cluster", after="old")
    return disk.result()


def layout_disk(writer, mails, rng, noise, options):
    """The mails at the places the mix has for their case (set by --case)."""
    disk = disk_writer(writer, mails, rng, noise, options)
    case = options.case or ""
    places = disk.mix.places.get(case, disk.mix.places[""])
    for name, text in mails:
        disk.gap()
        disk.place(name, text, choose(rng, places))
    return disk.result()


LAYOUTS = {
    "glued": layout_glued,
    "glued-chunk": layout_glued_chunk,
    "sector": layout_sector,
    "slack": layout_slack,
    "disk": layout_disk,
}


def apply_case(mails, case, seed, mix_name):
    """The mails as --case has them, and per mail the truth fields the variant adds."""
    if not case:
        return mails, [{} for _ in mails]
    rng = random.Random(f"case-{case}-{seed}")
    changed, extras = [], []
    for number, (name, text) in enumerate(mails):
        new_text, extra = variants.apply(case, text, rng, MIXES[mix_name], number)
        changed.append((name, new_text))
        extras.append(extra)
    return changed, extras

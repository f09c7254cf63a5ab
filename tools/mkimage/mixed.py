"""The mixed layout: one image that holds mails the way a used disk does, each input mail in a
variant (tools/mkimage/cases.py) and at a kind of place, both drawn by seed.

Places: the first mail at the very start of the layout; deleted mails at cluster starts, or at
sector starts behind random bytes, unrelated text or zeros; mails in two mail stores (one in
store order, one with its blocks shuffled), each right behind a block header; messages in mbox
files. Copies of the "duplicate" case lie at two or three places: one live copy in a store,
the others deleted. Between them lie noise clusters, a good share of them header-like decoys.
"""

import collections

from . import cases, layouts
from .layouts import LayoutResult, Placement, single_piece
from .noise import CLUSTER_SIZE, DECOY_KINDS
from .mailtext import SECTOR_SIZE

PLACE_WEIGHTS = (("cluster", 30), ("sector-random", 7), ("sector-text", 7), ("sector-zeros", 6),
                 ("store", 17), ("store-fragmented", 13), ("mbox", 20))
DELETED_PLACES = ("cluster", "sector-random", "sector-text", "sector-zeros")
# Noise between mails: the plain filler kinds and the header-like decoys.
NOISE_WEIGHTS = (("zeros", 20), ("random", 20), ("prose-crlf", 10), ("prose-lf", 5), ("html", 5),
                 ("headers", 10), ("header-lines", 8), ("quoted-reply", 8), ("forward-quote", 7),
                 ("mime-parts", 7))


class Request:
    """One copy of one mail to be placed."""

    def __init__(self, number, name, case, text, place):
        self.number = number
        self.name = name
        self.case = case
        self.text = text
        self.place = place


def choose(rng, weighted):
    names, weights = zip(*weighted)
    return rng.choices(names, weights)[0]


def plan_requests(mails, rng):
    """The copies to place: one per mail, two or three for duplicates (a live one in a store
    and deleted ones elsewhere); the first plain-looking mail goes to the very start."""
    deck = cases.case_deck(len(mails), rng)
    requests = []
    start_taken = False
    for number, ((name, original), case) in enumerate(zip(mails, deck)):
        text = cases.apply_case(case, original, rng, number)
        if case == "duplicate":
            places = [rng.choice(("store", "store-fragmented"))]
            for _ in range(rng.randint(1, 2)):
                places.append(rng.choice(DELETED_PLACES + ("mbox",)))
        elif not start_taken and case != "embedded":
            places = ["image-start"]
            start_taken = True
        else:
            places = [choose(rng, PLACE_WEIGHTS)]
        requests += [Request(number, name, case, text, place) for place in places]
    return requests


def segments_of(requests, rng):
    """Groups the requests into what is written in one go: single deleted mails, the two
    stores and one to three mbox files; shuffled, the image-start mail first."""
    first = [("single", [request]) for request in requests if request.place == "image-start"]
    segments = [("single", [request]) for request in requests if request.place in DELETED_PLACES]
    for place in ("store", "store-fragmented"):
        members = [request for request in requests if request.place == place]
        if members:
            segments.append((place, members))
    mbox = [request for request in requests if request.place == "mbox"]
    for group in layouts.split_groups(len(mbox), rng):
        if group:
            segments.append(("mbox", [mbox[index] for index in group]))
    rng.shuffle(segments)
    return first + segments


class MixedWriter:
    def __init__(self, writer, rng, noise):
        self.writer = writer
        self.rng = rng
        self.noise = noise
        self.placements = []  # (placement, number of the input mail)
        self.decoys = []
        self.stores = []
        self.mbox_files = 0

    def noise_clusters(self, count):
        for _ in range(count):
            kind = choose(self.rng, NOISE_WEIGHTS)
            start = self.writer.position
            if kind in DECOY_KINDS:
                data, length = self.noise.decoy_cluster(kind)
            else:
                _kind, data = self.noise.cluster(kind)
                length = len(data.rstrip(b"\x00")) if data is not None else 0
            self.writer.fill(data, CLUSTER_SIZE)
            if kind == "headers" or kind in DECOY_KINDS:
                self.decoys.append([start, start + length, kind])

    def end_cluster(self):
        layouts.end_cluster(self.writer, self.noise)

    def add(self, request, pieces, **extra):
        placement = Placement(request.name, request.text, pieces,
                              {"case": request.case, "place": request.place, "copy_of": None,
                               **extra})
        self.placements.append((placement, request.number))

    def single(self, request):
        writer = self.writer
        if request.place == "image-start":
            start = writer.position
        elif request.place == "cluster":
            self.end_cluster()
            if writer.last_byte == 0x0A:
                self.noise_clusters(1)
            start = writer.position
        else:
            self.end_cluster()
            if writer.last_byte == 0x0A:
                self.noise_clusters(1)
            lead = self.rng.randint(1, CLUSTER_SIZE // SECTOR_SIZE - 1) * SECTOR_SIZE
            if request.place == "sector-random":
                writer.write(self.noise.random_bytes(lead))
            elif request.place == "sector-text":
                # Prose cut off in mid-line: the mail's first line follows no line end.
                writer.write(self.noise.prose(lead - 1, "\r\n").rstrip(b"\r\n").ljust(lead - 1)
                             + b".")
            else:
                writer.hole(lead)
            start = writer.position
        writer.write(request.text)
        self.add(request, single_piece(request.text, start))
        self.end_cluster()

    def store(self, place, requests):
        self.end_cluster()
        store_base = self.writer.position
        fragment = place == "store-fragmented"
        store = layouts.build_store([request.text for request in requests], self.rng, fragment)
        for request, chain, pieces in zip(requests, store.chains, store.pieces):
            self.add(request, layouts.store_pieces(store_base, pieces), store_chain=chain,
                     store_base=store_base)
        self.writer.write(store.data)
        self.stores.append({"base": store_base, "size": len(store.data), "fragment": fragment})
        self.end_cluster()

    def mbox(self, requests):
        self.end_cluster()
        if self.writer.last_byte == 0x0A:
            self.noise_clusters(1)
        for request in requests:
            request.text = layouts.escape_mbox(request.text)
            self.writer.write(layouts.MBOX_SEPARATOR)
            start = self.writer.position
            self.writer.write(request.text)
            self.add(request, single_piece(request.text, start), mbox_file=self.mbox_files)
            self.writer.write(b"\r\n" if request.text.endswith(b"\n") else b"\r\n\r\n")
        self.mbox_files += 1
        self.end_cluster()


def layout_mixed(writer, mails, rng, noise, options):
    requests = plan_requests(mails, rng)
    mixed = MixedWriter(writer, rng, noise)
    for index, (kind, members) in enumerate(segments_of(requests, rng)):
        if index > 0 or members[0].place != "image-start":
            mixed.noise_clusters(rng.choice((0, 1, 1, 2, 3)))
        if kind == "single":
            mixed.single(members[0])
        elif kind == "mbox":
            mixed.mbox(members)
        else:
            mixed.store(kind, members)
    mixed.end_cluster()
    mixed.noise_clusters(1)
    layouts.pad_to_size(writer, noise, options.size)

    # The truth lists the mails in image order; later copies name the first one.
    ordered = sorted(mixed.placements, key=lambda entry: entry[0].pieces[0].raw)
    placements = [placement for placement, _number in ordered]
    first_copy = {}
    for index, (placement, number) in enumerate(ordered):
        if placement.extra["case"] != "duplicate":
            continue
        if number in first_copy:
            placement.extra["copy_of"] = first_copy[number]
        else:
            first_copy[number] = index
    counts = collections.Counter(placement.extra["case"] for placement in placements)
    return LayoutResult(placements, {"stores": mixed.stores, "decoys": mixed.decoys,
                                     "case_counts": dict(sorted(counts.items()))})

"""The copies layout: the same message found more than once, and messages that only look alike.

Each input mail takes a role (shares from the mix):
- `duplicate`: a live copy in a mail store (one store at a cluster start, blocks in order) and
  one or two deleted copies at the mix's places;
- `cut`: a whole copy (in the store or deleted) and a deleted copy cut short inside its body at
  a cluster or sector boundary, followed by zeros or by other data;
- `lookalike`: the mail and a message with the same header but an edited body, or the same
  sender and subject with another Date, Message-ID and an edited body; no copy of each other;
- `single`: one copy, in the store or deleted.

Which mails are copies of which is not taken from the roles: truth.py works it out from the
bytes for every layout.
"""

from . import endings, layouts, variants
from .disk import DiskWriter
from .mixes import MIXES, choose
from .noise import CLUSTER_SIZE

ROLES = ("duplicate", "cut", "lookalike", "single")


def role_deck(count, rng, mix):
    """One role per mail, each role at least once when there are four mails or more."""
    names, weights = zip(*mix.copy_roles)
    deck = list(names) if count >= len(names) else []
    total = sum(weights)
    for name, weight in mix.copy_roles:
        deck += [name] * max(0, round(count * weight / total) - deck.count(name))
    deck = (deck + ["single"] * count)[:count]
    rng.shuffle(deck)
    return deck


class CopiesWriter:
    def __init__(self, disk):
        self.disk = disk
        self.rng = disk.rng
        self.mix = disk.mix
        self.store = []     # (name, text, extra) of the store's mails
        self.deleted = []   # what to write outside the store: (kind, name, text, extra)

    def plan(self, mails):
        deck = role_deck(len(mails), self.rng, self.mix)
        for group, ((name, text), role) in enumerate(zip(mails, deck)):
            self.plan_mail(group, name, text, role)

    def either(self, name, text, extra, store_share=0.5):
        if self.rng.random() < store_share:
            self.store.append((name, text, extra))
        else:
            self.deleted.append(("mail", name, text, extra))

    def plan_mail(self, group, name, text, role):
        rng = self.rng
        extra = {"role": role, "copy_group": group}
        if role == "cut" and variants.cut_point(text, 0, rng) is None:
            role = extra["role"] = "duplicate"
        if role == "lookalike":
            kind = choose(rng, self.mix.lookalikes)
            other = variants.lookalike(text, rng, kind, group)
            if other is None:
                role = extra["role"] = "duplicate"
        if role == "duplicate":
            self.store.append((name, text, {**extra, "copy": "live"}))
            for _ in range(rng.randint(1, 2)):
                self.deleted.append(("mail", name, text, {**extra, "copy": "deleted"}))
        elif role == "cut":
            self.either(name, text, {**extra, "copy": "whole"})
            self.deleted.append(("cut", name, text, {**extra, "copy": "cut"}))
        elif role == "lookalike":
            self.either(name, text, {**extra, "copy": "original"})
            self.either(name, other, {**extra, "copy": f"lookalike-{kind}"}, 0.3)
        else:
            self.either(name, text, {**extra, "copy": "single"}, self.mix.store_share)

    def write_store(self):
        disk = self.disk
        disk.to_cluster_start()
        base = disk.writer.position
        store = layouts.build_store([text for _name, text, _extra in self.store], self.rng, False)
        for (name, text, extra), chain, pieces in zip(self.store, store.chains, store.pieces):
            disk.placements.append(layouts.Placement(
                name, text, layouts.store_pieces(base, pieces),
                {"place": "store", "store_chain": chain, "store_base": base, **extra}))
        disk.writer.write(store.data)
        disk.writer.hole(disk.writer.padding_to_multiple(CLUSTER_SIZE))
        return {"base": base, "size": len(store.data), "fragment": False}

    def write_cut(self, name, text, extra):
        """A copy at a cluster start whose later bytes were overwritten."""
        disk = self.disk
        disk.to_cluster_start()
        cut, cut_kind = variants.cut_point(text, 0, self.rng)
        start = disk.writer.position
        disk.writer.write(text[:cut])
        follow = choose(self.rng, self.mix.cut_follow)
        fields = {"place": "cluster", "cut_kind": cut_kind, "cut_at": cut, "follow": follow}
        if follow == "zeros":
            if not disk.writer.padding_to_multiple(CLUSTER_SIZE):
                disk.writer.hole(CLUSTER_SIZE)  # cut at a cluster's end: the next one is free
            fields.update(disk.finish("zeros", text[:cut]))
        elif disk.writer.padding_to_multiple(CLUSTER_SIZE):
            fields.update(disk.finish("old", text[:cut]))
        else:
            kind = choose(self.rng, self.mix.slack_kinds)
            following = disk.old.window(kind, CLUSTER_SIZE)
            disk.writer.write(following)
            fields.update(slack=kind, end_clear=endings.end_is_clear(text[:cut], following))
        disk.placements.append(layouts.Placement(
            name, text[:cut], layouts.single_piece(text[:cut], start), {**fields, **extra}))

    def write(self):
        segments = [("store", None)] if self.store else []
        segments += [(kind, request) for kind, *request in self.deleted]
        self.rng.shuffle(segments)
        stores = []
        for kind, request in segments:
            self.disk.gap()
            if kind == "store":
                stores.append(self.write_store())
            elif kind == "cut":
                self.write_cut(*request)
            else:
                name, text, extra = request
                self.disk.place(name, text, choose(self.rng, self.mix.copy_places), **extra)
        return stores


def layout_copies(writer, mails, rng, noise, options):
    disk = DiskWriter(writer, rng, noise, MIXES[options.mix], mails)
    copies = CopiesWriter(disk)
    copies.plan(mails)
    stores = copies.write()
    return disk.result({"stores": stores})

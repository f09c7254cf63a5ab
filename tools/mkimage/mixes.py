"""Mixes: how the layouts of a used disk (disk.py, copies.py, scattered.py) draw what lies
around a mail. Two mixes share the kinds of places and bytes but weigh them differently, and the
`held-out` mix also uses kinds the `tuning` mix never does (old XML, CSV, UTF-16, PDF and base64
data, long Cc lists and relay chains, stores whose blocks lie out of order), so that a measure
on held-out images tells whether a carver learned the general case or our images.

The `neighbours` and `wide` mixes put old data of further kinds in front of and behind mails
(neighbours.py, wide.py).

Weights are (name, weight) pairs; `kinds` name old data (olddata.py), noise clusters are the
NoiseMaker kinds, the decoy kinds, or "old:" and an old-data kind (a cluster of it ended by
zeros, as a file's last cluster).
"""

from dataclasses import dataclass, replace


@dataclass(frozen=True)
class Mix:
    name: str
    noise: tuple          # noise clusters between mails
    gaps: tuple           # how many noise clusters lie between two mails (one drawn)
    leads: tuple          # old data a glued mail's first line follows
    sector_leads: tuple   # what lies before a mail at a sector start ("zeros": nothing;
                          # "text-line": text ending with a whole line)
    after: tuple          # what follows a mail's end: "zeros" to the cluster end, "random"
                          # bytes (NUL bytes among them), "sector-zeros" (zeros to the sector's
                          # end, old data behind), "old" data right behind the last byte
    slack_kinds: tuple    # old-data kinds in "old" and "sector-zeros" slack (no NUL bytes)
    unclear_share: float  # share of mails whose old data may leave their end unclear
                          # (endings.py); for the others such data is drawn again
    places: dict          # case -> weighted places: cluster, sector, glued, chunk
    chunk_cuts: tuple     # where a 1 MiB boundary cuts a header block (disk.CHUNK_CUTS)
    long_kinds: tuple     # what makes a header block long (variants.LONG_KINDS)
    long_positions: tuple  # where in the header block the long fields go
    copy_roles: tuple     # copies layout: duplicate, cut, lookalike, single
    copy_places: tuple    # where deleted copies lie
    lookalikes: tuple     # same-header (edited body) or resent (new Date and Message-ID too)
    cut_follow: tuple     # what follows a copy cut short: zeros or a noise cluster
    store_share: float    # copies layout: share of single mails kept in the live store
    store_shuffled: bool  # scattered store: blocks out of store order inside the file
    store_gaps: tuple     # noise clusters between the scattered store's clusters


TUNING = Mix(
    name="tuning",
    noise=(("zeros", 25), ("random", 20), ("prose-crlf", 10), ("prose-lf", 5), ("html", 5),
           ("headers", 5), ("header-lines", 4), ("quoted-reply", 4), ("forward-quote", 4),
           ("mime-parts", 4), ("old:text-crlf", 4), ("old:mail", 6), ("old:binary", 4)),
    gaps=(0, 1, 1, 2, 3),
    leads=(("binary", 25), ("text-crlf", 20), ("text-lf", 10), ("html", 15), ("mail", 20),
           ("log", 10)),
    sector_leads=(("binary", 20), ("binary-nul", 10), ("zeros", 15), ("text-crlf", 20),
                  ("html", 10), ("mail", 15), ("text-line", 5), ("log", 5)),
    after=(("zeros", 45), ("random", 15), ("sector-zeros", 15), ("old", 25)),
    slack_kinds=(("text-crlf", 25), ("text-lf", 15), ("html", 20), ("mail", 25),
                 ("binary", 15)),
    unclear_share=0.05,
    places={"no-trace": (("cluster", 60), ("sector", 20), ("glued", 20)),
            "long-header": (("cluster", 60), ("sector", 20), ("glued", 10), ("chunk", 10)),
            "lf": (("cluster", 100),),
            "": (("cluster", 70), ("sector", 15), ("glued", 15))},
    chunk_cuts=(("first-line", 20), ("after-first-line", 20), ("middle", 30),
                ("before-end", 15), ("end", 15)),
    long_kinds=(("signatures", 60), ("references", 40)),
    long_positions=(("before-from", 70), ("end", 30)),
    copy_roles=(("duplicate", 35), ("cut", 15), ("lookalike", 20), ("single", 30)),
    copy_places=(("cluster", 60), ("sector", 20), ("glued", 20)),
    lookalikes=(("same-header", 50), ("resent", 50)),
    cut_follow=(("zeros", 70), ("noise", 30)),
    store_share=0.3,
    store_shuffled=False,
    store_gaps=(0, 1, 1, 2),
)

HELD_OUT = Mix(
    name="held-out",
    noise=(("zeros", 20), ("random", 15), ("prose-crlf", 5), ("prose-lf", 5), ("html", 5),
           ("headers", 4), ("header-lines", 3), ("quoted-reply", 3), ("forward-quote", 3),
           ("mime-parts", 3), ("old:mail", 8), ("old:log", 5), ("old:csv", 5), ("old:xml", 5),
           ("old:utf16", 4), ("old:pdf", 4), ("old:base64", 3), ("old:binary", 5)),
    gaps=(0, 0, 1, 2, 2, 4),
    leads=(("binary", 15), ("text-lf", 15), ("xml", 10), ("csv", 10), ("log", 10),
           ("base64", 10), ("mail", 15), ("html", 5), ("pdf", 5), ("utf16", 5)),
    sector_leads=(("binary", 10), ("binary-nul", 10), ("zeros", 10), ("text-lf", 15),
                  ("csv", 10), ("xml", 10), ("base64", 10), ("mail", 10), ("pdf", 5),
                  ("utf16", 5), ("text-line", 5)),
    after=(("zeros", 35), ("random", 10), ("sector-zeros", 25), ("old", 30)),
    slack_kinds=(("text-crlf", 10), ("text-lf", 15), ("html", 10), ("mail", 20),
                 ("binary", 15), ("log", 10), ("csv", 10), ("xml", 10)),
    unclear_share=0.05,
    places={"no-trace": (("cluster", 40), ("sector", 25), ("glued", 25), ("chunk", 10)),
            "long-header": (("cluster", 40), ("sector", 25), ("glued", 20), ("chunk", 15)),
            "lf": (("cluster", 100),),
            "": (("cluster", 55), ("sector", 20), ("glued", 20), ("chunk", 5))},
    chunk_cuts=(("first-line", 15), ("after-first-line", 15), ("middle", 25),
                ("before-end", 20), ("end", 25)),
    long_kinds=(("signatures", 30), ("references", 20), ("recipients", 25), ("relays", 25)),
    long_positions=(("before-from", 40), ("after-date", 30), ("end", 30)),
    copy_roles=(("duplicate", 30), ("cut", 20), ("lookalike", 25), ("single", 25)),
    copy_places=(("cluster", 40), ("sector", 30), ("glued", 30)),
    lookalikes=(("same-header", 40), ("resent", 60)),
    cut_follow=(("zeros", 55), ("noise", 45)),
    store_share=0.4,
    store_shuffled=True,
    store_gaps=(0, 1, 2, 3),
)

# The held-out mix with neighbours that read like mail (neighbours.py) in front of and behind
# mails, where a reader's rules for a mail's ends are put to the test.
NEIGHBOURS = replace(
    HELD_OUT,
    name="neighbours",
    noise=HELD_OUT.noise + (("old:mail-end", 4), ("old:digest", 4), ("old:quoted-headers", 4),
                            ("old:mbox-lines", 4), ("old:patch", 3), ("old:returned-headers", 4),
                            ("old:webmail-page", 3), ("old:qp-text", 3)),
    leads=(("binary", 10), ("text-lf", 5), ("xml", 5), ("log", 5), ("mail", 5), ("utf16", 5),
           ("mail-end", 15), ("digest", 10), ("quoted-headers", 10), ("mbox-lines", 10),
           ("patch", 10), ("returned-headers", 10), ("webmail-page", 10), ("qp-text", 10)),
    sector_leads=HELD_OUT.sector_leads + (("mail-end", 10), ("digest", 5), ("patch", 5),
                                          ("returned-headers", 5)),
    after=(("zeros", 15), ("random", 10), ("sector-zeros", 25), ("old", 50)),
    slack_kinds=(("text-crlf", 5), ("mail", 10), ("binary", 5), ("log", 5), ("mail-end", 15),
                 ("digest", 15), ("quoted-headers", 15), ("mbox-lines", 10), ("patch", 10),
                 ("returned-headers", 15)),
)

# The tuning mix with old data of the many kinds a long-used disk holds besides prose and mail
# (wide.py, and olddata.py's UTF-16, XML, CSV, base64 and PDF data) in front of and behind
# mails, where a carver's rules for a mail's first line and its end meet bytes it never met.
_WIDE_KINDS = (("utf8-cyrillic", 6), ("utf8-greek", 4), ("utf8-cjk", 6), ("cp1252", 8),
               ("json", 6), ("c-source", 5), ("js-source", 5), ("py-source", 4), ("rtf", 5),
               ("sql", 5), ("ini", 5), ("quoted-text", 8), ("rules", 5), ("tsv-log", 6),
               ("base64-block", 6), ("qp-text", 4), ("xml", 4), ("csv", 4))
WIDE = replace(
    TUNING,
    name="wide",
    noise=TUNING.noise + (("old:cp1252", 3), ("old:utf8-cjk", 3), ("old:json", 3),
                          ("old:c-source", 3), ("old:quoted-text", 3), ("old:utf16", 3)),
    leads=_WIDE_KINDS + (("utf16", 6), ("pdf", 4), ("binary", 4), ("text-crlf", 4)),
    sector_leads=_WIDE_KINDS + (("utf16", 5), ("pdf", 4), ("binary-nul", 6), ("zeros", 8),
                                ("text-line", 4)),
    after=(("zeros", 20), ("random", 10), ("sector-zeros", 20), ("old", 50)),
    slack_kinds=_WIDE_KINDS + (("utf16", 6), ("pdf", 3), ("text-crlf", 4)),
)

MIXES = {mix.name: mix for mix in (TUNING, HELD_OUT, NEIGHBOURS, WIDE)}


def choose(rng, weighted):
    names, weights = zip(*weighted)
    return rng.choices(names, weights)[0]

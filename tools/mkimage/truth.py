"""Ground truth of a built image, worked out from the bytes as they were written."""

import os

from . import mailtext
from .layouts import CHUNK_SIZE, unescape_mbox
from .noise import CLUSTER_SIZE


def raw_reader(descriptor, image_size):
    def read_raw(start, end):
        start = max(0, start)
        end = min(end, image_size)
        if end <= start:
            return b""
        return os.pread(descriptor, end - start, start)
    return read_raw


def mail_entry(placement, analysis, in_store):
    first = placement.pieces[0]
    last = placement.pieces[-1]
    entry = {
        "file": placement.file,
        "start": first.raw,
        "end": last.raw + last.length,
        "length": len(placement.text),
    }
    if in_store:
        entry["pieces"] = [[piece.raw, piece.raw + piece.length] for piece in placement.pieces]
    entry.update(analysis)
    entry.update(placement.extra)
    return entry


def copy_text(placement, layout):
    """The bytes that decide whether two mails are copies: from the first header line to the
    end, mbox quoting undone."""
    text = placement.text
    if layout == "mbox" or placement.extra.get("place") == "mbox":
        text = unescape_mbox(text)
    header_start, _lines, _end = mailtext.shape_lines(text)
    return text[header_start:]


def true_copies(texts, starts):
    """For each mail, the index of the first mail before it on the image (by first byte) that
    it is a copy of, or None. Two mails are copies when their texts are the same or one is a
    whole prefix of the other (a copy cut short); a text under 64 bytes is taken for no copy.
    """
    key_length = 64
    order = sorted(range(len(texts)), key=lambda index: starts[index])
    by_key = {}
    copy_of = [None] * len(texts)
    for index in order:
        text = texts[index]
        if len(text) < key_length:
            continue  # too short to be told from a fragment of another mail
        key = text[:key_length]
        for earlier in by_key.get(key, ()):
            other = texts[earlier]
            if text.startswith(other) or other.startswith(text):
                copy_of[index] = earlier
                break
        by_key.setdefault(key, []).append(index)
    return copy_of


def build_truth(image_path, image_size, layout, result, options):
    descriptor = os.open(image_path, os.O_RDONLY)
    try:
        read_raw = raw_reader(descriptor, image_size)
        mails = []
        for placement in result.placements:
            in_store = "store_chain" in placement.extra
            view = mailtext.PlacedMail(placement.text, placement.pieces, read_raw, in_store)
            mails.append(mail_entry(placement, mailtext.analyse(view), in_store))
    finally:
        os.close(descriptor)
    truth = {
        "layout": layout,
        "image_size": image_size,
        "shift": options.shift,
        "seed": options.seed,
        "sector_size": mailtext.SECTOR_SIZE,
        "cluster_size": CLUSTER_SIZE,
        "chunk_size": CHUNK_SIZE,
        "mail_count": len(mails),
        "strict_expected_count": sum(1 for mail in mails if mail["strict_expected"]),
    }
    if layout == "dbx":
        truth["fragment"] = bool(options.fragment)
    if getattr(options, "case", None):
        truth["case"] = options.case
    if layout != "mixed":  # the mixed layout names the copies it made itself
        texts = [copy_text(placement, layout) for placement in result.placements]
        for mail, copy_of in zip(mails, true_copies(texts, [mail["start"] for mail in mails])):
            mail["copy_of"] = copy_of
    truth.update(result.extra)
    truth["mails"] = mails
    return truth

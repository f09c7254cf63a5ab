"""Ground truth of a built image, worked out from the bytes as they were written."""

import os

from . import mailtext
from .layouts import CHUNK_SIZE
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
    truth.update(result.extra)
    truth["mails"] = mails
    return truth

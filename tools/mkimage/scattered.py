"""The scattered-store layout: a mail store file that was deleted and whose 4 KiB clusters lie
scattered over the disk, among clusters of other data.

The store is the `dbx` layout's (tools/README.md): a 1 KiB header, then 528-byte blocks, each
with its own offset in the store and the offset of the next block of its chain. The file is cut
into clusters, which are written in a shuffled order with the mix's noise between them, so a
block (even its 16-byte header) may be split over two clusters far apart. With the mix's
`store_shuffled` the blocks also lie out of order inside the file, as in a store used for years.

A mail's `pieces` are the raw stretches of its text in chain order, split where a cluster ends;
`store_chain` are its block offsets in the file, and the truth's `store_clusters` the raw
position of each of the file's clusters.

`--store-cluster` picks another cluster size than 4 KiB (the file system's unit, 512 B..64 KiB);
`--store-tail old` fills the store's last, partly filled cluster behind the file's end with old
data of the mix rather than zeros, as a file system leaves it.
"""

from . import layouts
from .disk import DiskWriter
from .mailtext import Piece
from .mixes import MIXES
from .noise import CLUSTER_SIZE


def raw_pieces(pieces, clusters, cluster_size=CLUSTER_SIZE):
    """Text pieces of a store mail (text offset, offset in the file, length) mapped through the
    file's cluster positions; stretches that stay adjacent on the disk are joined."""
    mapped = []
    for logical, at, length in pieces:
        while length:
            cluster, within = divmod(at, cluster_size)
            take = min(length, cluster_size - within)
            raw = clusters[cluster] + within
            if mapped and mapped[-1].raw + mapped[-1].length == raw and \
                    mapped[-1].logical + mapped[-1].length == logical:
                last = mapped.pop()
                mapped.append(Piece(last.logical, last.raw, last.length + take))
            else:
                mapped.append(Piece(logical, raw, take))
            logical += take
            at += take
            length -= take
    return mapped


def to_cluster_start(disk, size):
    """Zeros to the next boundary of `size`; noise and zeros more while the last byte written is
    a line end, which no mail's first line may follow here."""
    writer = disk.writer
    writer.hole_to(writer.relative + writer.padding_to_multiple(size))
    while writer.last_byte == 0x0A:
        disk.noise_clusters(1)
        writer.hole_to(writer.relative + writer.padding_to_multiple(size))
        if writer.last_byte == 0x0A:
            writer.write(b"\x00" * size)


def layout_scattered_store(writer, mails, rng, noise, options):
    mix = MIXES[options.mix]
    disk = DiskWriter(writer, rng, noise, mix, mails)
    size = options.store_cluster
    store = layouts.build_store([text for _name, text in mails], rng, mix.store_shuffled)
    tail = -len(store.data) % size
    if options.store_tail == "old" and tail:
        tail_bytes = disk.old.window("mail", tail)
    else:
        tail_bytes = bytes(tail)
    data = store.data + tail_bytes
    count = len(data) // size
    order = list(range(count))
    while count > 1 and order == sorted(order):
        rng.shuffle(order)
    clusters = [0] * count
    disk.noise_clusters(1)
    for number in order:
        disk.noise_clusters(rng.choice(mix.store_gaps))
        if size == CLUSTER_SIZE:
            disk.to_cluster_start()
        else:
            to_cluster_start(disk, size)
        clusters[number] = writer.position
        writer.write(data[number * size:(number + 1) * size])
    for (name, text), chain, pieces in zip(mails, store.chains, store.pieces):
        disk.placements.append(layouts.Placement(
            name, text, raw_pieces(pieces, clusters, size),
            {"place": "store-scattered", "store_chain": chain}))
    return disk.result({"store_size": len(store.data), "store_clusters": clusters,
                        "store_shuffled": mix.store_shuffled})

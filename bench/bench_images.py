"""The benchmark images, one per kind of content, built once with tools/quillon-mkimage and kept
in the build tree (they are big: delete one to rebuild it, e.g. after the builder changed).

    dense        mailbox files back to back, the corpus reused as ~63,000 mails per GiB
    attachments  mails at cluster starts among random bytes, zeros, text and HTML; a quarter of
                 them carry a base64 attachment of 256 KiB to 3 MiB (default 2 GiB, 3,000 mails)
    text         CR LF prose, no mail
    random       random bytes
    zeros        zeros (written out, not a sparse file)
"""

import json
import os
import pathlib
import re
import subprocess
import sys
import time

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[1]
GIB = 1 << 30

KINDS = {
    "dense": GIB,
    "attachments": 2 * GIB,
    "text": GIB,
    "random": GIB,
    "zeros": GIB,
}
MAIL_KINDS = ("dense", "attachments")


def parse_size(text):
    """Bytes from '1g', '512m', '64k' or a plain number."""
    match = re.fullmatch(r"(\d+)([kmg]?)i?b?", text.strip().lower())
    if not match:
        raise ValueError(f"not a size: {text!r} (try 1g, 512m or a number of bytes)")
    return int(match.group(1)) << {"": 0, "k": 10, "m": 20, "g": 30}[match.group(2)]


def size_label(size):
    for shift, unit in ((30, "g"), (20, "m"), (10, "k")):
        if size % (1 << shift) == 0:
            return f"{size >> shift}{unit}"
    return str(size)


def corpus_or_demo():
    configured = os.environ.get("QUILLON_CORPUS_DIR")
    corpus = pathlib.Path(configured) if configured else \
        SOURCE_DIR.parent / "shared" / "corpus" / "messages"
    if corpus.is_dir():
        return corpus, False
    return SOURCE_DIR / "tools" / "demo-mails", True


def truth_path_for(image):
    return image.with_name(image.name.removesuffix(".img") + ".truth.json")


def image_path(folder, kind, size, seed):
    _inputs, demo = corpus_or_demo()
    name = f"bench-{kind}-{size_label(size)}"
    if seed != 1:
        name += f"-s{seed}"
    if demo:
        name += "-demo"  # too few inputs to stand for a mailbox: never mixed up with the real one
    return pathlib.Path(folder) / f"{name}.img"


def ensure_image(folder, kind, size=None, seed=1, quiet=False):
    """The image of `kind` (built now when missing) and the seconds building it took (None when
    it was there already)."""
    size = size or KINDS[kind]
    image = image_path(folder, kind, size, seed)
    if image.exists():
        return image, None
    inputs, _demo = corpus_or_demo()
    if not quiet:
        print(f"building {image} ({size / GIB:.2f} GiB of {kind}) ...", flush=True)
    image.parent.mkdir(parents=True, exist_ok=True)
    partial = image.with_name(image.name + ".partial")
    started = time.perf_counter()
    subprocess.run([sys.executable, str(SOURCE_DIR / "tools" / "quillon-mkimage"),
                    "--layout", f"bench-{kind}", "--size", str(size), "--seed", str(seed),
                    "--out", str(partial), "--truth", str(truth_path_for(image)), str(inputs)],
                   check=True, stdout=subprocess.DEVNULL if quiet else None)
    partial.rename(image)  # only a complete image is ever reused
    seconds = time.perf_counter() - started
    if not quiet:
        print(f"built in {seconds:.1f} s")
    return image, seconds


def read_truth(image):
    path = truth_path_for(image)
    if not path.exists():
        return None
    with open(path, encoding="utf-8") as file:
        return json.load(file)

#!/usr/bin/env python3
"""A mail with a part of raw bytes (Content-Transfer-Encoding: binary: NULs, control bytes and
bare line breaks in it) is saved whole in the default mode, on a deleted disk and in file
slack: its NULs are no old data behind the mail.
"""

import pathlib
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402
from measure_support import ImageFile, SavedTexts, reference_texts  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import synthetic  # noqa: E402

STRUCTURE = "binary-part"
# (layout, seed): the structures are taken in turn, so each image holds a few such mails.
IMAGES = (("deleted", 16201), ("slack", 16202))


def check_image(binary, source_dir, work, layout, seed, failures):
    count = 4 * len(synthetic.STRUCTURES)
    image_path, truth = support.build_image(source_dir, work, layout, layout, [], seed=seed,
                                            extra=["--synthetic", str(count)])
    records, error = support.run_scan(binary, image_path)
    if error:
        failures.append(f"{layout}: {error}")
        return
    saved = SavedTexts(binary, image_path, records, work / f"out-{layout}", (), 2)
    extents = support.MailExtents(truth)
    claimed = {}
    for record in records:
        mail = extents.mail_at(support.position(record))
        if mail is not None:
            claimed.setdefault(mail, record)
    image = ImageFile(image_path)
    checked = 0
    for index, mail in enumerate(truth["mails"]):
        if not pathlib.Path(mail["file"]).stem.endswith(STRUCTURE):
            continue
        checked += 1
        record = claimed.get(index)
        if record is None:
            failures.append(f"{layout}/{seed} {mail['file']}: not found")
            continue
        text = saved.text(int(record["index"])) or b""
        wanted = reference_texts(image, truth, mail)
        if text not in wanted:
            failures.append(f"{layout}/{seed} {mail['file']}: saved {len(text)} bytes of "
                            f"{len(wanted[0])}")
    image.close()
    if checked < 3:
        failures.append(f"{layout}/{seed}: only {checked} mails with a raw part laid out")


def main():
    options = support.parse_arguments(__doc__.splitlines()[0])
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} does not exist (build the quillon target first)")
    failures = []
    with tempfile.TemporaryDirectory(prefix="raw-parts-") as scratch:
        for layout, seed in IMAGES:
            check_image(binary, options.source_dir, pathlib.Path(scratch), layout, seed, failures)
    for failure in failures[:40]:
        print("FAIL", failure)
    return support.FAIL if failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

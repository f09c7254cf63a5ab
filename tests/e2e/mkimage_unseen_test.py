#!/usr/bin/env python3
"""Checks the image builder's layouts of a used disk (glued, glued-chunk, sector, slack, disk,
copies, scattered-store) against the bytes they write: tools/mkimage/unseen_check.py on our demo
mails with both mixes and, when present, on the corpus, behind a shift, per seed and mix, and
the copy and mail-end rules on hand-made texts. `quillon-mkimage --self-test` runs the same.
"""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from mkimage import unseen_check  # noqa: E402


def main():
    options = support.parse_arguments(__doc__.splitlines()[0])
    corpus = support.corpus_dir(options.source_dir)
    if corpus is None:
        print("corpus not found: checking the layouts with the demo mails only")
    status = unseen_check.run_self_test(options.source_dir, corpus)
    return support.PASS if status == 0 else support.FAIL


if __name__ == "__main__":
    sys.exit(main())

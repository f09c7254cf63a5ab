#!/usr/bin/env python3
"""`quillon scan IMAGE --find TEXT [--in FIELDS]` on an image of every corpus message:

- with --json, the lines printed are exactly the lines of the plain scan whose mails hold the
  text (numbers unchanged), in the same order;
- in subject, sender and recipients the hits are the mails whose decoded field holds the text in
  any letter case (the text is taken from real subjects and senders and its case turned round);
- searching every field finds the union of searching each field alone, content included;
- the table lists the same numbers and ends with "Found N Mails" and "M of them hold "TEXT"";
- an empty text, an unknown field and --in without --find are usage errors (exit 2, nothing on
  standard output).
"""

import json
import pathlib
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import cli_support as cli  # noqa: E402
import e2e_support as support  # noqa: E402

FIELDS = {"subject": "subject", "sender": "from", "recipients": "to"}
TABLE_ROW = re.compile(r"^\s*(\d+)\s+\d+\s+\d+\s")  # number, sector, offset


def fold(text):
    """One character to one, as the program folds: lower case where that keeps one character."""
    folded = []
    for char in text:
        lower = char.lower()
        folded.append(lower if len(lower) == 1 else char)
    return "".join(folded).replace("\u03c2", "\u03c3")


def scan_lines(checks, binary, image, extra):
    completed = cli.run([binary, "scan", image, "--json", *extra])
    checks.expect(completed.returncode == 0,
                  f"scan {' '.join(extra)}: exit {completed.returncode} "
                  f"{completed.stderr.decode('utf-8', 'replace')[-300:]!r}")
    return completed.stdout.decode("utf-8").splitlines()


def needles(records):
    """Words of real subjects and senders, in turned-round case, and one that no mail holds."""
    words = []
    for record in records[::7]:
        for key in ("subject", "from"):
            for word in re.findall(r"\w{5,}", record[key]):
                if word.swapcase() != word and word.lower() not in map(str.lower, words):
                    words.append(word)
                    break
        if len(words) >= 8:
            break
    return [word.swapcase() for word in words] + ["quokka-zebra-17"]


def index_of(line):
    return json.loads(line)["index"]


def check_fields(checks, binary, image, lines, records, text):
    hits_by_field = {}
    for field in ("subject", "sender", "recipients", "content"):
        found = scan_lines(checks, binary, image, ["--find", text, "--in", field])
        hits_by_field[field] = {index_of(line) for line in found}
        checks.expect(all(line in lines for line in found),
                      f"--find {text!r} --in {field}: a line differs from the plain scan's")
        if field in FIELDS:
            key = FIELDS[field]
            wanted = {record["index"] for record in records if fold(text) in fold(record[key])}
            checks.expect(hits_by_field[field] == wanted,
                          f"--find {text!r} --in {field}: {sorted(hits_by_field[field])[:10]} "
                          f"where the decoded field holds it in {sorted(wanted)[:10]}")
    every = scan_lines(checks, binary, image, ["--find", text])
    union = set().union(*hits_by_field.values())
    checks.expect({index_of(line) for line in every} == union,
                  f"--find {text!r}: {len(every)} mails, the fields one by one {len(union)}")
    in_order = [line for line in lines if index_of(line) in union]
    checks.expect(every == in_order, f"--find {text!r}: not the plain scan's lines in its order")
    return union


def check_table(checks, binary, image, text, hits, total):
    completed = cli.run([binary, "scan", image, "--find", text])
    output = completed.stdout.decode("utf-8").splitlines()
    numbers = {int(match.group(1)) for line in output if (match := TABLE_ROW.match(line))}
    checks.expect(numbers == hits, f"table of --find {text!r}: rows {sorted(numbers)[:10]}")
    checks.expect(output[-2:] == [f"Found {total} Mails", f'{len(hits)} of them hold "{text}"'],
                  f"table of --find {text!r} ends with {output[-2:]}")


def check_usage(checks, binary, image):
    rows = [
        (["--find", ""], "--find needs a text to look for"),
        (["--find", "x", "--in", "subject,body"], "'body' is none of them"),
        (["--find", "x", "--in", ""], "'' is none of them"),
        (["--in", "subject"], "--in needs --find"),
    ]
    for extra, message in rows:
        completed = cli.run([binary, "scan", image, *extra])
        stderr = completed.stderr.decode("utf-8", "replace")
        checks.expect(completed.returncode == 2 and message in stderr and not completed.stdout,
                      f"scan {extra}: exit {completed.returncode}, {stderr.strip()!r}")


def main():
    options = support.parse_arguments(__doc__)
    binary = options.build_dir / "bin" / "quillon"
    if not binary.exists():
        support.skip(f"{binary} not built")
    corpus = support.corpus_dir(options.source_dir)
    if corpus is None:
        support.skip(support.CORPUS_MISSING)
    checks = cli.Checks()
    with support.ScratchDir(options.build_dir, "cli-find", options.keep) as scratch:
        image, _truth = support.build_image(options.source_dir, scratch.path, "find", "deleted",
                                            [corpus], seed=15)
        lines = scan_lines(checks, binary, image, [])
        records = [json.loads(line) for line in lines]
        checks.expect(len(records) > 100, f"the plain scan found {len(records)} mails")
        texts = needles(records)
        print(f"{len(records)} mails; searching for {texts}")
        for text in texts:
            hits = check_fields(checks, binary, image, lines, records, text)
            checks.expect((len(hits) > 0) == (text != texts[-1]),
                          f"--find {text!r}: {len(hits)} mails")
            check_table(checks, binary, image, text, hits, len(records))
        check_usage(checks, binary, image)
        result = checks.result()
        scratch.finish(result == support.PASS)
    return result


if __name__ == "__main__":
    sys.exit(main())

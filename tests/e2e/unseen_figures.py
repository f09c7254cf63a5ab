"""Figures of one scan of an image of a used disk (tests/e2e/unseen_measure.py), held against
the image's ground truth, mail by mail.

- a mail is found when a record lies at one of its right positions (its first byte, its first
  header line, its trace line; measure_support.right_positions); the first such record claims
  it;
- whole: the saved .eml of that record holds the mail's bytes (measure_support.reference_text)
  in one piece; byte-exact: it holds nothing else;
- a record outside any mail lies neither in a mail nor at one of its right positions (a decoy
  counts as outside: it is no mail);
- copies: a mail with From and Date is a later copy when its truth names an earlier copy
  (`copy_of`, which the builder works out from the bytes: the same bytes from the first header
  line to the end, or one a whole prefix of the other); a group of copies with n later copies is
  marked as far as n of its found copies carry a mark, whichever copy the list shows first. A mark (`duplicate_of`) is right when the record and the
  record it names each claim a mail (or repeat a claimed one) and the two mails' bytes are
  copies by that rule; marks on records that claim no mail are wrong.
"""

import bisect
import collections
import pathlib

import e2e_support as support
from measure_support import (Locator, is_target, laid_out_text, ratio, reference_texts,
                             text_offset_of)

# Truth fields that say how a mail lies; the figures are also split by each.
GROUP_FIELDS = ("place", "lead", "after", "slack", "end_clear", "role", "copy", "cut",
                "cut_kind", "follow", "long_kind", "long_position")
MAX_EXAMPLES = 12
EXPOSED_LIST = pathlib.Path(__file__).resolve().parent / "unseen_exposed.txt"
SHOWN_BYTES = 36


def exposed_files(path=EXPOSED_LIST):
    """Names of corpus files whose text was seen while tuning (one per line, # comments)."""
    if not path.exists():
        return frozenset()
    lines = (line.strip() for line in path.read_text(encoding="utf-8").splitlines())
    return frozenset(line for line in lines if line and not line.startswith("#"))


EXPOSED = exposed_files()


def copy_text(image, mail):
    """The bytes that decide whether two mails are copies: from the first header line on."""
    text = laid_out_text(image, mail)
    skip = text_offset_of(mail, mail.get("header_start", mail["start"])) or 0
    return text[skip:]


def are_copies(first, second):
    return first.startswith(second) or second.startswith(first)


def shown(data):
    return repr(bytes(data[:SHOWN_BYTES]))[1:] + ("..." if len(data) > SHOWN_BYTES else "")


def describe_saved(saved, reference):
    """How a saved text differs from the mail it should hold, in a line."""
    if saved is None:
        return "no saved text"
    at = saved.find(reference)
    if at >= 0:
        behind = saved[at + len(reference):]
        parts = []
        if at:
            parts.append(f"{at} bytes before it ({shown(saved[:at])})")
        if behind:
            parts.append(f"{len(behind)} bytes behind it ({shown(behind)})")
        return "whole, with " + " and ".join(parts)
    probe = saved[:48]
    inside = reference.find(probe) if probe else -1
    if inside > 0:
        first_line = reference[:reference.find(b"\n") + 1 or 60]
        return (f"begins {inside} bytes into the mail, without its first lines "
                f"({shown(first_line)})")
    same = 0
    limit = min(len(saved), len(reference))
    while same < limit and saved[same] == reference[same]:
        same += 1
    if same == len(saved):
        return f"ends {len(reference) - same} bytes early ({len(saved)} of {len(reference)})"
    return (f"differs from byte {same} of {len(reference)}: saved {shown(saved[same:])}, "
            f"mail {shown(reference[same:])}")


def describe_miss(mail, positions):
    """The records near a missed mail, as offsets from its first byte."""
    start, end = mail["start"], mail["end"]
    low = bisect.bisect_left(positions, start - 64)
    high = bisect.bisect_left(positions, end + 16)
    near = [at - start for at in positions[low:high]]
    if not near:
        return "no record in or near it"
    return "records at " + ", ".join(f"{offset:+d}" for offset in near[:4]) + \
        " from its first byte"


def mail_label(mail):
    fields = [f"{key}={mail[key]}" for key in GROUP_FIELDS if mail.get(key) is not None]
    return f"{mail['file']}@{mail['start']}" + (f" ({', '.join(fields)})" if fields else "")


def empty_group():
    return {"target_mails": 0, "found": 0, "whole": 0, "exact": 0}


def add_to(group, target, found, whole, exact):
    if target:
        group["target_mails"] += 1
        group["found"] += found
        group["whole"] += whole
        group["exact"] += exact


class Evaluation:
    """The figures of one scan (records and their saved texts) of one image."""

    def __init__(self, truth, image, records, saved):
        self.truth = truth
        self.image = image
        self.records = records
        self.saved = saved
        self.locator = Locator(truth)
        self.positions = sorted(support.position(record) for record in records)
        self.figures = {"mails": len(truth["mails"]), "target_mails": 0, "found": 0, "whole": 0,
                        "exact": 0, "all_exact": 0, "clear_target_mails": 0, "clear_exact": 0,
                        "records": len(records), "outside": 0, "inside": 0, "parts": 0, "copies": 0, "copies_marked": 0, "marks": 0,
                        "marks_right": 0, "marks_on_no_mail": 0, "groups": {},
                        "examples": {"missed": [], "not whole": [], "not exact": [],
                                     "outside": [], "wrong marks": [], "unmarked copies": []}}
        self.mail_of_record = {}  # record index -> the mail it claims or repeats
        self.claimed = {}         # mail index -> the record that claims it
        self.classify_records()
        self.judge_mails()
        self.judge_marks()

    def example(self, kind, text):
        examples = self.figures["examples"][kind]
        if len(examples) < MAX_EXAMPLES:
            examples.append(text)

    def classify_records(self):
        for record in self.records:
            at = support.position(record)
            owners = self.locator.mails_starting_at(at)
            if owners:
                self.mail_of_record[int(record["index"])] = owners[0]
                self.claimed.setdefault(owners[0], record)
                continue
            kind = self.locator.wrong_kind(at)
            if kind in ("outside", "decoy"):
                self.figures["outside"] += 1
                self.example("outside", f"record {record['index']} at {at} ({kind}): "
                                        f"{str(record.get('subject'))[:40]!r}")
            elif record.get("part_of") is not None:
                self.figures["parts"] += 1
            else:
                self.figures["inside"] += 1

    def judge_mails(self):
        figures = self.figures
        if self.saved is not None:
            self.saved.fetch([int(record["index"]) for record in self.claimed.values()])
        for index, mail in enumerate(self.truth["mails"]):
            target = is_target(mail)
            record = self.claimed.get(index)
            found = record is not None
            text = self.saved.text(int(record["index"])) if found and self.saved else None
            references = reference_texts(self.image, self.truth, mail)
            whole = text is not None and any(reference in text for reference in references)
            exact = text is not None and any(reference == text for reference in references)
            figures["all_exact"] += exact
            if target and mail.get("end_clear", True):
                figures["clear_target_mails"] += 1
                figures["clear_exact"] += exact
            add_to(figures, target, found, whole, exact)
            # Whether the walk can see a trace line splits most classes in two.
            ways = {key: mail[key] for key in GROUP_FIELDS if mail.get(key) is not None}
            ways["trace_line"] = "yes" if mail["trace_offset"] is not None else "no"
            ways["exposed"] = "yes" if pathlib.Path(mail["file"]).name in EXPOSED else "no"
            for key, value in ways.items():
                groups = figures["groups"].setdefault(key, {})
                add_to(groups.setdefault(str(value), empty_group()), target, found, whole, exact)
            if not target:
                continue
            if not found:
                self.example("missed", f"{mail_label(mail)}: "
                                       f"{describe_miss(mail, self.positions)}")
            elif not whole:
                self.example("not whole", f"{mail_label(mail)}: saved text "
                                          f"{describe_saved(text, references[0])}")
            elif not exact:
                self.example("not exact", f"{mail_label(mail)}: saved text "
                                          f"{describe_saved(text, references[0])}")

    def judge_marks(self):
        figures = self.figures
        mails = self.truth["mails"]
        texts = {}

        def text_of(index):
            if index not in texts:
                texts[index] = copy_text(self.image, mails[index])
            return texts[index]
        # Copies by group (the first copy and those that name it, directly or not). The scan
        # lists a store's mails behind every other find, so the copy it lists first need not be
        # the one that lies first on the disk: a group whose later copies (by position) number n
        # is marked as far as n of its found copies, whichever they are, carry a mark. Only
        # mails with From and Date count, as in the other figures: a scan is not expected to
        # find the others at all.
        groups = collections.defaultdict(list)
        for index, mail in enumerate(mails):
            first = index
            while mails[first].get("copy_of") is not None:
                first = mails[first]["copy_of"]
            groups[first].append(index)
        for members in groups.values():
            later = [index for index in members
                     if mails[index].get("copy_of") is not None and is_target(mails[index])]
            if not later:
                continue
            def marked(index):
                return (self.claimed.get(index) or {}).get("duplicate_of") is not None
            counted = min(sum(1 for index in members if marked(index)), len(later))
            figures["copies"] += len(later)
            figures["copies_marked"] += counted
            unmarked = [index for index in later if not marked(index)]
            for index in unmarked[len(unmarked) - (len(later) - counted):]:
                mail = mails[index]
                record = self.claimed.get(index)
                self.example("unmarked copies", f"{mail_label(mail)}, a copy of "
                                                f"{mail_label(mails[mail['copy_of']])}: "
                                                f"{'not found' if record is None else 'unmarked'}")
        for record in self.records:
            target = record.get("duplicate_of")
            if target is None:
                continue
            figures["marks"] += 1
            mine = self.mail_of_record.get(int(record["index"]))
            theirs = self.mail_of_record.get(int(target))
            if mine is None or theirs is None:
                figures["marks_on_no_mail"] += 1
                right = False
            else:
                right = are_copies(text_of(mine), text_of(theirs))
            figures["marks_right"] += right
            if not right:
                name = (lambda number: "no mail" if number is None else mail_label(mails[number]))
                self.example("wrong marks", f"record {record['index']} ({name(mine)}) marked a "
                                            f"copy of record {target} ({name(theirs)})")


SUMMED = ("mails", "target_mails", "found", "whole", "exact", "all_exact", "clear_target_mails",
          "clear_exact", "records", "outside",
          "inside", "parts", "copies", "copies_marked", "marks", "marks_right",
          "marks_on_no_mail")


def rates(figures):
    """The shares the targets speak of, from the counts."""
    return {"found": ratio(figures["found"], figures["target_mails"]),
            "whole": ratio(figures["whole"], figures["target_mails"]),
            "exact": ratio(figures["exact"], figures["target_mails"]),
            "exact_where_clear": ratio(figures["clear_exact"], figures["clear_target_mails"]),
            "outside": ratio(figures["outside"], figures["records"]),
            "copies_marked": ratio(figures["copies_marked"], figures["copies"]),
            "marks_right": ratio(figures["marks_right"], figures["marks"])}


def total(figure_list):
    result = {key: 0 for key in SUMMED}
    for figures in figure_list:
        for key in SUMMED:
            result[key] += figures[key]
    return result


def strict_invariants(truth, strict_records, default_records):
    """What --strict must keep whatever the default mode does: every strictly expected mail (in
    a store also those expected across block headers) reported exactly once at its trace line,
    no record outside every mail, and every --strict record reported by the default mode at the
    same position too."""
    counts = collections.Counter(support.position(record) for record in strict_records)
    promised = [mail for mail in truth["mails"]
                if mail["strict_expected"] or mail.get("expected_across_blocks")]
    broken = [f"{mail['file']}@{mail['trace_offset']}" for mail in promised
              if sum(counts[at] for at in support.expected_positions(truth, mail)) != 1]
    extents = support.MailExtents(truth)
    default_positions = {support.position(record) for record in default_records}
    return {"promised": len(promised), "broken": broken,
            "outside": sorted(at for at in counts if extents.mail_at(at) is None),
            "missing_in_default": sorted(at for at in counts if at not in default_positions)}

"""Mails that differ from the corpus along several axes at once, as real mail does: two to four
of the one-axis mutations (mutations.py) drawn per mail by the seeded generator and applied in
an order in which each still finds what it changes: the fields and values inside the block
first, then the last lines of the text, the empty line that ends the block, then lines put in front of the block, a first line that
is no field, and the line ends of the whole mail last. Cases that replace the whole mail (a
bounce, a wrapper, a block cut down to a few fields) or leave no mail with From and Date to
judge are not drawn; of the cases that each rewrite the same part (the mail's last lines, its
first line, its line ends) at most one is.
"""

from . import mutations

# Stages in the order they are applied; a stage marked exclusive gives at most one case a mail.
STAGES = (
    ("fields", False, (
        "mut-nul-field", "mut-control-field", "mut-long-512", "mut-long-folded", "mut-many-lines",
        "mut-from-date-last", "mut-odd-date", "mut-duplicate-fields", "mut-8bit-name",
        "mut-odd-name", "mut-blank-fold", "mut-received-fold", "mut-stray-line",
        "mut-stray-token", "mut-fold-at-name", "mut-empty-from", "mut-long-references",
        "mut-foreign-date", "mut-gbk-header", "mut-cp1252-name", "mut-tab-fold",
        "mut-odd-case-all", "mut-mime-first", "mut-draft", "mut-text-boundary",
        "mut-mbox-inside")),
    ("body", True, (
        "mut-body-nul", "mut-body-control", "mut-closing-no-newline", "mut-signature-end",
        "mut-qp-soft-end", "mut-base64-one-line", "mut-closing-bare", "mut-trailing-blanks",
        "mut-text-boundary-dashed")),
    ("separator", True, ("mut-blank-separator", "mut-no-blank")),
    ("opening-fields", False, (
        *mutations.FIRST_LINE_CASES, *mutations.OPENING_LINE_CASES, "mut-long-names",
        "mut-private-stack", "mut-long-recipients", "mut-one-line-to")),
    ("cut-name", True, ("mut-cut-first-name",)),
    ("first-line", True, (
        "mut-banner", "mut-gt-from", "mut-mailbox-other", "mut-bom", "mut-long-first",
        "mut-space-line", "mut-export-banner")),
    ("line-ends", True, (
        "mut-lf-header", "mut-lf-body", "mut-cr-only", "mut-cr-cr-lf", "mut-cr-only-body",
        "mut-body-no-crlf")),
)
STAGE_OF = {case: stage for stage, _exclusive, cases in STAGES for case in cases}
EXCLUSIVE = {stage for stage, exclusive, _cases in STAGES if exclusive}
ORDER = {stage: position for position, (stage, _exclusive, _cases) in enumerate(STAGES)}
AXES = tuple(STAGE_OF)
MIN_AXES, MAX_AXES = 2, 4


def draw_axes(rng):
    """Two to four cases, at most one of each exclusive stage, in the order they are applied."""
    wanted = rng.randint(MIN_AXES, MAX_AXES)
    drawn, stages = [], set()
    for case in rng.sample(AXES, len(AXES)):
        stage = STAGE_OF[case]
        if stage in EXCLUSIVE and stage in stages:
            continue
        drawn.append(case)
        stages.add(stage)
        if len(drawn) == wanted:
            break
    return sorted(drawn, key=lambda case: ORDER[STAGE_OF[case]])


def apply_axes(text, axes, rng, number=0):
    """The text changed along `axes` in turn, and those that changed it (joined by "+")."""
    applied = []
    for case in axes:
        changed = mutations.apply_mutation(case, text, rng, number)
        if changed is not None and changed != text:
            text = changed
            applied.append(case)
    return text, "+".join(applied)


def apply_combo(text, rng, number=0):
    """The text changed along two to four axes drawn by `rng`, and the axes that changed it."""
    return apply_axes(text, draw_axes(rng), rng, number)

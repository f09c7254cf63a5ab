"""Tables and verdicts of tests/e2e/unseen_measure.py: a line per image as it is measured, then
per half the targets' table, PASS/FAIL against the targets for the held-out half, and examples
of failing mails from the worst classes."""

import unseen_figures as figures_of
from measure_support import percent

HEADER = (f"{'half':<9} {'class':<16} {'mails':>5} {'F&D':>4} {'found':>6} {'whole':>6} "
          f"{'exact':>6} {'records':>7} {'outside':>7} {'copies':>9} {'marks ok':>9} "
          f"{'strict':>6} {'secs':>5}")
EXAMPLE_KINDS = ("missed", "not whole", "not exact", "outside", "wrong marks", "unmarked copies")
# (key, what the table calls it, threshold, at least (True) or at most)
RATE_TARGETS = (("whole", "saved whole (original bytes in one file)", 0.98, True),
                ("exact", "saved byte-exact", 0.96, True),
                ("outside", "records outside any mail", 0.003, False),
                ("copies_marked", "later copies marked duplicate_of", 0.97, True),
                ("marks_right", "duplicate_of marks that are right", 0.97, True))
FOUND_TARGET = 0.97


def fraction(part, whole):
    return f"{part}/{whole}" if whole else "-"


def class_line(run):
    figures = run.figures["default"]
    rates = figures_of.rates(figures)
    return (f"{run.half:<9} {run.name:<16} {figures['mails']:>5} {figures['target_mails']:>4} "
            f"{percent(rates['found']):>6} {percent(rates['whole']):>6} "
            f"{percent(rates['exact']):>6} {figures['records']:>7} "
            f"{percent(rates['outside']):>7} "
            f"{fraction(figures['copies_marked'], figures['copies']):>9} "
            f"{fraction(figures['marks_right'], figures['marks']):>9} "
            f"{run.strict['count']:>6} {run.seconds:>5.0f}")


def invariant_problems(run):
    """Texts of the --strict invariants the run broke (unseen_figures.strict_invariants)."""
    found = run.invariants
    problems = []
    if found["broken"]:
        problems.append(f"{len(found['broken'])} of {found['promised']} strictly expected mails "
                        f"not reported once at their trace line, e.g. {found['broken'][:4]}")
    if found["outside"]:
        problems.append(f"--strict records outside every mail at {found['outside'][:4]}")
    if found["missing_in_default"]:
        problems.append(f"--strict records the default mode does not report at "
                        f"{found['missing_in_default'][:4]}")
    return problems


def print_class(run):
    print(class_line(run))
    for problem in invariant_problems(run):
        print(f"    INVARIANT: {problem}")
    for problem in run.problems:
        print(f"    note: {problem[:300]}")
    for error in run.errors:
        print(f"    ERROR: {error[:400]}")


def half_figures(runs):
    """The target figures of one half: per class found, and the rest over all its images."""
    per_class = {run.name: figures_of.rates(run.figures["default"]) for run in runs}
    totals = figures_of.total([run.figures["default"] for run in runs])
    result = {"per_class_found": {name: rates["found"] for name, rates in per_class.items()},
              "totals": totals, **figures_of.rates(totals)}
    found = [(rates["found"], name) for name, rates in per_class.items()
             if rates["found"] is not None]
    result["worst_found"] = min(found) if found else (None, None)
    unseen = unexposed_figures(runs)
    if unseen is not None:
        result["unexposed"] = unseen
        result["whole_unexposed"] = figures_of.ratio(unseen["whole"], unseen["target_mails"])
    store = next((run for run in runs if run.name == "store-scattered"), None)
    if store is not None:
        figures = store.figures["default"]
        result["store_exact"] = [figures["all_exact"], figures["mails"]]
    return result


def unexposed_figures(runs):
    """Found/whole/exact summed over the mails whose text nobody looked at while tuning, where
    some of the half's mails were looked at (unseen_exposed.txt); None where none were."""
    groups = [run.figures["default"]["groups"].get("exposed", {}) for run in runs]
    if not any(group.get("yes", {}).get("target_mails") for group in groups):
        return None
    summed = figures_of.empty_group()
    for group in groups:
        for key in summed:
            summed[key] += group.get("no", {}).get(key, 0)
    return summed


def verdicts_of(result, demo_exact):
    """PASS/FAIL of each target for one half's figures."""
    verdicts = []
    value, name = result["worst_found"]
    verdicts.append(("mails with From and Date found, every class", value is not None and
                     value >= FOUND_TARGET))
    for key, title, threshold, at_least in RATE_TARGETS:
        value = result[key]
        passed = value is not None and (value >= threshold if at_least else value <= threshold)
        verdicts.append((title, passed))
    if "whole_unexposed" in result:
        value = result["whole_unexposed"]
        verdicts.append(("saved whole, of the mails nobody looked at", value is not None and
                         value >= RATE_TARGETS[0][2]))
    verdicts.append(("demo mails saved byte-exact", demo_exact[0] == demo_exact[1]))
    if "store_exact" in result:
        exact, count = result["store_exact"]
        verdicts.append(("scattered store byte-exact", count > 0 and exact >= count - 1))
    return verdicts


def print_table(results, demo_exact, strict_note):
    halves = list(results)
    columns = "".join(f"{half:>22}" for half in halves)
    print(f"\n{'':<48}{columns}   target")

    def row(title, cells, target):
        print(f"{title:<48}" + "".join(f"{cell:>22}" for cell in cells) + f"   {target}")
    row("mails with From and Date found, worst class",
        [f"{percent(results[half]['worst_found'][0])} {results[half]['worst_found'][1]}"
         for half in halves], ">= 97 % every class")
    for key, title, threshold, at_least in RATE_TARGETS:
        row(title, [percent(results[half][key]) for half in halves],
            f"{'>=' if at_least else '<='} {threshold * 100:g} %")
        if key == "whole":
            row("  of the mails nobody looked at", [unexposed_cell(results[half])
                                                   for half in halves], "")
        if key == "exact":
            row("  of them where the end can be told at all",
                [percent(results[half]["exact_where_clear"]) for half in halves], "")
    row("demo mails saved byte-exact", [f"{demo_exact[0]} of {demo_exact[1]}"] * len(halves),
        "8 of 8")
    row("scattered store byte-exact",
        [" of ".join(map(str, results[half].get("store_exact", ["-", "-"]))) for half in halves],
        ">= 27 of 28")
    print(f"--strict against the recorded baseline: {strict_note}")
    for half in halves:
        found = ", ".join(f"{name} {percent(value)}"
                          for name, value in results[half]["per_class_found"].items())
        print(f"{half} found per class: {found}")


def unexposed_cell(result):
    unseen = result.get("unexposed")
    if unseen is None:
        return "-"
    return (f"{percent(result['whole_unexposed'])} "
            f"({unseen['whole']}/{unseen['target_mails']})")


def print_examples(runs, count):
    """Failing mails of the tuning half's classes, worst byte-exact share first. The held-out
    half's stay in the JSON document: nobody should tune on them."""
    tuning = [run for run in runs if run.half == "tuning"]
    ranked = sorted(tuning, key=lambda run: figures_of.rates(run.figures["default"])["exact"] or 0)
    for run in ranked:
        examples = run.figures["default"]["examples"]
        lines = [f"  {kind}: {text[:300]}" for kind in EXAMPLE_KINDS
                 for text in examples[kind][:count]]
        if lines:
            print(f"\n{run.half} {run.name}: examples")
            print("\n".join(lines))


def print_groups(runs):
    """Per class, found/exact of the mails with From and Date split by how a mail lies (a trace
    line or none, its place, the old data before and behind it...)."""
    for run in runs:
        groups = run.figures["default"]["groups"]
        parts = []
        for key, values in sorted(groups.items()):
            if len(values) < 2:
                continue
            cells = [f"{value} {group['found']}/{group['exact']}/{group['target_mails']}"
                     for value, group in sorted(values.items()) if group["target_mails"]]
            parts.append(f"{key}: " + ", ".join(cells))
        if parts:
            print(f"  {run.half} {run.name}: " + "; ".join(parts))


def print_summary(runs, demo, verdicts, options):
    """Prints the targets' table for each half and the verdicts; returns the JSON document."""
    results = {half: half_figures(half_runs) for half, half_runs in runs.items()}
    demo_figures = demo.figures["default"]
    demo_exact = [demo_figures["all_exact"], demo_figures["mails"]]
    counts = {}
    for verdict in verdicts.values():
        counts[verdict] = counts.get(verdict, 0) + 1
    strict_note = ", ".join(f"{count} {verdict}" for verdict, count in sorted(counts.items()))
    against = [f"{run.half}/{run.name}: {difference}"
               for half_runs in runs.values() for run in half_runs + [demo]
               for difference in run.strict.get("against_binary", [])]
    print("\nfound/exact/mails with From and Date by how the mail lies, tuning half (the "
          "held-out half's are in the JSON document):")
    print_groups(runs.get("tuning", []))
    print_table(results, demo_exact, strict_note or "nothing compared")
    broken = [f"{run.half}/{run.name}" for half_runs in runs.values()
              for run in half_runs + [demo] if invariant_problems(run)]
    print(f"--strict invariants (promises kept, nothing outside, all in the default mode too): "
          f"{'kept on every image' if not broken else 'broken on ' + ', '.join(broken)}")
    if options.baseline_binary:
        print(f"--strict against {options.baseline_binary}: "
              f"{'the same' if not against else f'{len(against)} differences'}")
        for line in against[:10]:
            print(f"  {line[:300]}")
    document = {"halves": {}, "demo": {"exact": demo_exact, "figures": demo_figures},
                "strict_baseline": {"set": options.baseline_set, "verdicts": verdicts,
                                    "against_binary": against},
                "strict_invariants_broken": broken}
    for half, result in results.items():
        half_verdicts = verdicts_of(result, demo_exact)
        if half == "held-out":
            print("\ntargets (held-out half, default mode):")
            for title, passed in half_verdicts:
                print(f"  {'PASS' if passed else 'FAIL'}  {title}")
        document["halves"][half] = {
            "result": {key: value for key, value in result.items()},
            "verdicts": {title: passed for title, passed in half_verdicts},
            "classes": {run.name: {"figures": run.figures, "strict": run.strict,
                                   "strict_invariants": run.invariants,
                                   "seconds": round(run.seconds, 1), "problems": run.problems,
                                   "errors": run.errors, "mail_count": run.truth["mail_count"]}
                        for run in runs[half]}}
    if options.examples:
        print_examples([run for half_runs in runs.values() for run in half_runs],
                       options.examples)
    return document

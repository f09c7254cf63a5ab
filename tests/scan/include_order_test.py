#!/usr/bin/env python3
"""Holds src/scan to its layering: a room includes only the shared vocabulary and the rooms
before it, only the entry points include rooms, and no source file grows past 400 lines.

Usage: include_order_test.py --source-dir DIR [--self-test]
"""
import argparse
import pathlib
import re
import sys

# The rooms in the order they may include each other: each one only those before it.
ROOM_ORDER = ["find", "read", "lines", "body", "carve", "shape", "merge", "reread", "parallel"]
ENTRY_POINTS = {"scan_driver.h", "scan_driver.cpp", "mail_reader.h", "mail_reader.cpp"}
MAX_LINES = 400
INCLUDE = re.compile(r'^\s*#\s*include\s+"scan/([^"]+)"', re.MULTILINE)


def place_of(relative):
    """('room', name) for a file in a room, ('top', file name) for one at the top level."""
    parts = relative.split("/")
    return ("room", parts[0]) if len(parts) > 1 else ("top", parts[0])


def include_faults(includer, included):
    """Why `includer` may not include `included` (paths below src/scan); None when it may."""
    kind, name = place_of(includer)
    target_kind, target = place_of(included)
    if target_kind == "top":
        if target in ENTRY_POINTS and not (kind == "top" and name in ENTRY_POINTS):
            return "includes an entry point"
        return None
    if kind == "top":
        return None if name in ENTRY_POINTS else "vocabulary includes a room"
    if target == name:
        return None
    if target not in ROOM_ORDER or name not in ROOM_ORDER:
        return "a room not in the include order"
    if ROOM_ORDER.index(target) > ROOM_ORDER.index(name):
        return "includes a room that comes after it"
    return None


def tree_faults(scan_dir):
    faults = []
    for path in sorted(scan_dir.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = path.relative_to(scan_dir).as_posix()
        text = path.read_text(encoding="utf-8")
        lines = text.count("\n")
        if lines > MAX_LINES:
            faults.append(f"{relative}: {lines} lines (at most {MAX_LINES})")
        for included in INCLUDE.findall(text):
            why = include_faults(relative, included)
            if why:
                faults.append(f"{relative} -> scan/{included}: {why}")
    return faults


# (name, includer, included, allowed)
CASES = [
    ("RoomIncludesItsOwnFolder", "carve/mail_carver.cpp", "carve/header_parser.h", True),
    ("RoomIncludesEarlierRoom", "carve/mail_carver.h", "body/body_steps.h", True),
    ("ReadRunsTheFindKernels", "read/chunk_reader.h", "find/shape_marks.h", True),
    ("FindIncludesRead", "find/shape_marks.h", "read/block_header.h", False),
    ("CarveIncludesMerge", "carve/mail_carver.cpp", "merge/record_merger.h", False),
    ("ShapeIncludesReread", "shape/shape_body.cpp", "reread/mail_reader_window.h", False),
    ("RoomIncludesVocabulary", "shape/shape_scanner.h", "mail_record.h", True),
    ("RoomIncludesEntryPoint", "read/chunk_reader.cpp", "scan_driver.h", False),
    ("VocabularyIncludesRoom", "mail_record.h", "read/block_header.h", False),
    ("EntryPointIncludesRoom", "scan_driver.cpp", "merge/record_merger.h", True),
    ("EntryPointIncludesEntryPoint", "mail_reader.cpp", "mail_reader.h", True),
    ("ParallelIncludesMerge", "parallel/task_thread.cpp", "merge/record_merger.h", True),
    ("MergeIncludesParallel", "merge/record_merger.cpp", "parallel/task_thread.h", False),
    ("UnknownRoom", "carve/mail_carver.cpp", "extra/thing.h", False),
]


def self_test():
    wrong = [name for name, includer, included, allowed in CASES
             if (include_faults(includer, included) is None) != allowed]
    for name in wrong:
        print(f"FAIL self-test row {name}")
    return not wrong


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source-dir", type=pathlib.Path, required=True)
    parser.add_argument("--build-dir", type=pathlib.Path)  # accepted like the other checks
    options = parser.parse_args()
    if not self_test():
        return 1
    faults = tree_faults(options.source_dir / "src" / "scan")
    for fault in faults:
        print(f"FAIL {fault}")
    print(f"include order: {len(faults)} faults, {len(CASES)} rule rows")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Saving into a folder that holds files already: the real `quillon save` never replaces or
changes one, and a repeated save writes nothing new.

- a second save of the same image into the same folder writes nothing and says how many mails
  were already there; a file the user edited since stays as it is and the mail gets the next
  "_N" name; a file whose name differs only in letter case counts as that name (a case-folding
  check that holds on any file system);
- two saves into one folder at the same time write each file once, whole;
- in a folder of a file system that ignores letter case (vfat, exFAT; or ext4 / tmpfs with
  case folding) mounted by the test where the machine allows it, the same holds; where no such
  mount can be made this part says why and is skipped.
"""

import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import cli_support as cli  # noqa: E402
import e2e_support as support  # noqa: E402


def save(binary, image, out):
    completed = cli.run([binary, "save", image, "--out", out])
    return completed.returncode, completed.stdout.decode("utf-8", "replace")


def check_repeated_save(checks, binary, image, out, label):
    """Save, save again, edit one file and rename another to upper case, save again."""
    box = out / "Mail Box"
    code, said = save(binary, image, out)
    first = cli.folder_bytes(box)
    count = len(first)
    checks.expect(code == 0 and said == f"Saved {count} mails!\n" and count == 8,
                  f"{label}: first save: exit {code}, {said!r}, {count} files")
    code, said = save(binary, image, out)
    checks.expect(code == 0 and said == f"Saved 0 mails!\n{count} mails were already in the "
                                        f"folder.\n", f"{label}: second save said {said!r}")
    checks.expect(cli.folder_bytes(box) == first, f"{label}: the second save changed the folder")

    names = sorted(first)
    edited, renamed = names[0], names[1]
    (box / edited).write_bytes(b"my own notes\r\n")
    (box / renamed).rename(box / renamed.upper())
    code, said = save(binary, image, out)
    after = cli.folder_bytes(box)
    stem, extension = edited.rsplit(".", 1)
    checks.expect(code == 0 and said == f"Saved 1 mails!\n{count - 1} mails were already in the "
                                        f"folder.\n", f"{label}: save after an edit said {said!r}")
    checks.expect(after.get(edited) == b"my own notes\r\n", f"{label}: the edited file changed")
    checks.expect(after.get(f"{stem}_1.{extension}") == first[edited],
                  f"{label}: the edited file's mail is not under {stem}_1.{extension}")
    checks.expect(renamed not in after and after.get(renamed.upper()) == first[renamed],
                  f"{label}: the file renamed to upper case was written again or changed")
    checks.expect(len(after) == count + 1, f"{label}: {len(after)} files after the third save")


def check_simultaneous_saves(checks, binary, image, out):
    print("two saves at the same time:")
    reference = out.parent / "simultaneous-reference"
    save(binary, image, reference)
    expected = cli.folder_bytes(reference / "Mail Box")
    for round_ in range(3):
        target = out / str(round_)
        runs = [subprocess.Popen([str(binary), "save", str(image), "--out", str(target)],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                for _ in range(2)]
        outputs = [run.communicate(timeout=cli.RUN_TIMEOUT) for run in runs]
        codes = [run.returncode for run in runs]
        saved = cli.folder_bytes(target / "Mail Box")
        checks.expect(codes == [0, 0], f"round {round_}: exits {codes}, "
                                       f"{[error[-200:] for _out, error in outputs]}")
        checks.expect(saved == expected, f"round {round_}: {len(saved)} files, "
                                          f"{len(expected)} expected, or a file differs")


MOUNTS = (
    ("vfat", ["mkfs.vfat", "{image}"], ["mount", "-o", "loop", "{image}", "{folder}"]),
    ("exfat", ["mkfs.exfat", "{image}"], ["mount", "-o", "loop", "{image}", "{folder}"]),
    ("ext4 with case folding", ["mkfs.ext4", "-q", "-F", "-O", "casefold", "{image}"],
     ["mount", "-o", "loop", "{image}", "{folder}"]),
    ("tmpfs with case folding", None,
     ["mount", "-t", "tmpfs", "-o", "casefold,size=16m", "quillon-test", "{folder}"]),
)


def mount_case_insensitive(work):
    """Mounts a file system that ignores letter case on work/mount and returns (its kind, the
    folder to save into), or (None, why not)."""
    folder = work / "mount"
    folder.mkdir()
    image = work / "fs.img"
    reasons = []
    for kind, make, mount in MOUNTS:
        fill = {"image": str(image), "folder": str(folder)}
        if make:
            if shutil.which(make[0]) is None:
                reasons.append(f"{kind}: no {make[0]}")
                continue
            with open(image, "wb") as file:
                file.truncate(64 << 20)
            made = subprocess.run([part.format(**fill) for part in make], capture_output=True)
            if made.returncode != 0:
                reasons.append(f"{kind}: {make[0]} failed")
                continue
        mounted = subprocess.run([part.format(**fill) for part in mount], capture_output=True)
        if mounted.returncode != 0:
            why = " ".join(mounted.stderr.decode(errors="replace").split())
            reasons.append(f"{kind}: {why[:100]}")
            continue
        target = folder / "out"
        target.mkdir()
        if "case folding" in kind:
            # Case folding is a property of a folder there, set while it is empty.
            flagged = subprocess.run(["chattr", "+F", str(target)], capture_output=True)
            if flagged.returncode != 0:
                subprocess.run(["umount", str(folder)], capture_output=True)
                reasons.append(f"{kind}: chattr +F failed")
                continue
        (target / "Probe").write_bytes(b"")
        if (target / "PROBE").exists():
            (target / "Probe").unlink()
            return kind, target
        subprocess.run(["umount", str(folder)], capture_output=True)
        reasons.append(f"{kind}: mounted, but it does not ignore letter case")
    return None, "; ".join(reasons)


def check_case_insensitive_mount(checks, binary, image):
    print("a folder that ignores letter case:")
    work = pathlib.Path(tempfile.mkdtemp(prefix="quillon-case-"))
    kind, target = mount_case_insensitive(work)
    try:
        if kind is None:
            print(f"  skipped: no case-insensitive file system could be mounted here ({target})")
            return
        print(f"  on {kind}")
        check_repeated_save(checks, binary, image, target, kind)
    finally:
        if kind is not None:
            subprocess.run(["umount", str(work / "mount")], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)


def main():
    options = support.parse_arguments(__doc__.splitlines()[0])
    binary = options.build_dir / "bin" / "quillon"
    if not binary.is_file():
        support.skip(f"{binary} not built")
    checks = cli.Checks()
    with support.ScratchDir(options.build_dir, "save-again", options.keep) as scratch:
        image = cli.demo_image(options.source_dir, scratch.path)
        print("saving again into the same folder:")
        check_repeated_save(checks, binary, image, scratch.path / "again", "plain folder")
        many = cli.many_mails_image(options.source_dir, scratch.path, mails=400)
        check_simultaneous_saves(checks, binary, many, scratch.path / "simultaneous")
        check_case_insensitive_mount(checks, binary, image)
        scratch.finish(not checks.failures)
    return checks.result()


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks that the manual page and the bash completion tell the truth about `quillon`, and that
both programs say the project's version.

Options: every option `quillon --help` lists is described in quillon(1) and offered by Tab, and
neither names one it does not list; an option shown with a value (`--out DIR`, `--format
eml|txt`) has its value completed (the listed words exactly), one without a value has none.
Tab: a table of command lines and what Tab offers after them (skipped without bash-completion).
Versions (build tree only): `quillon --version` and `quillon-gui --version` both say
"Quillon <project version>".

Runs on the build tree and the packaging sources, or with --root on an unpacked package
(scripts/check-package.sh does that).
"""

import gzip
import os
import pathlib
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import e2e_support as support  # noqa: E402

OPTION = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]*")
# An option followed by its value: a placeholder in capitals, or the words it takes.
OPTION_WITH_VALUE = re.compile(
    r"(?<![\w-])(--[a-z][a-z0-9-]*)[ =]([A-Z][A-Z_]*|[a-z0-9]+(?:\|[a-z0-9]+)+)(?![\w|-])")
BASH_COMPLETION = pathlib.Path("/usr/share/bash-completion/bash_completion")

MAN_PAGE_HINT = "add a .TP entry under its command in OPTIONS of packaging/man/quillon.1.in"
COMPLETION_HINT = ("add it to its command's list in _quillon_options of "
                   "packaging/completion/quillon")
VALUE_HINT = "its line in _quillon_option_values of packaging/completion/quillon"

# (command line with the cursor at its end, what Tab offers). Run in a folder holding demo.img
# and the folder recovered/.
TAB_ROWS = [
    ("quillon sc", "scan"),
    ("quillon ", "--help --version help save scan show"),
    ("quillon save demo.img --format ", "eml mbox txt"),
    ("quillon scan demo.img --s", "--sectors --start-sector --strict"),
    ("quillon show demo.img --index 3 --t", "--threads --txt"),
    ("quillon save demo.img --threads ", ""),
    ("quillon show --index 3 demo.img --i", "--index"),
    ("quillon scan demo.", "demo.img"),
    ("quillon scan HD", "HD0 HD1 HD2 HD3 HD4 HD5 HD6 HD7"),
    ("quillon save demo.img --out recov", "recovered"),
    ("quillon scan --start-sector ", ""),
    ("quillon frobnicate ", ""),
]


def parse():
    def add_options(parser):
        parser.add_argument("--root", type=pathlib.Path,
                            help="an unpacked package to check instead of the build tree")
    return support.parse_arguments(__doc__.splitlines()[0], add_options=add_options)


class Files:
    """The program, the manual page's text and the completion script under test."""

    def __init__(self, options):
        if options.root:
            root = options.root.resolve()
            self.quillon = root / "usr/bin/quillon"
            with gzip.open(root / "usr/share/man/man1/quillon.1.gz", "rt") as page:
                self.man_page = page.read()
            self.completion = root / "usr/share/bash-completion/completions/quillon"
            self.gui = None
        else:
            self.quillon = options.build_dir / "bin" / "quillon"
            self.man_page = (options.source_dir / "packaging/man/quillon.1.in").read_text()
            self.completion = options.source_dir / "packaging/completion/quillon"
            gui = options.build_dir / "bin" / "quillon-gui"
            self.gui = gui if gui.exists() else None


def run(command, **keywords):
    return subprocess.run(command, capture_output=True, text=True, **keywords)


def completion_values(completion, option):
    """What _quillon_option_values says for an option, or None when it takes no value."""
    result = run(["bash", "-c", 'source "$1"; _quillon_option_values "$2"', "_",
                  str(completion), option])
    return result.stdout.split() if result.returncode == 0 else None


def check_options(files, failures):
    usage = run([str(files.quillon), "--help"]).stdout
    listed = set(OPTION.findall(usage))
    if "--help" not in listed:
        failures.append(f"quillon --help printed no usage: {usage[:200]!r}")
        return
    page = files.man_page.replace("\\-", "-")
    mentioned = set(OPTION.findall(page))
    options_section = re.search(r"^\.SH OPTIONS$(.*?)^\.SH ", page, re.MULTILINE | re.DOTALL)
    described = set(OPTION.findall(options_section.group(1))) if options_section else set()
    script = "\n".join(line for line in files.completion.read_text().splitlines()
                       if not line.lstrip().startswith("#"))
    offered = set(OPTION.findall(script))
    for option in sorted(listed - described):
        failures.append(f"quillon --help lists {option}, which quillon(1) does not describe: "
                        + MAN_PAGE_HINT)
    for option in sorted(mentioned - listed):
        failures.append(f"quillon(1) names {option}, which quillon --help does not list")
    for option in sorted(listed - offered):
        failures.append(f"quillon --help lists {option}, which Tab does not offer: "
                        + COMPLETION_HINT)
    for option in sorted(offered - listed):
        failures.append(f"Tab offers {option}, which quillon --help does not list")

    with_value = {}
    for option, value in OPTION_WITH_VALUE.findall(usage):
        with_value[option] = value.split("|") if "|" in value else None
    for option in sorted(listed):
        values = completion_values(files.completion, option)
        if option not in with_value:
            if values is not None:
                failures.append(f"Tab completes a value after {option}, which takes none: "
                                f"remove {VALUE_HINT}")
        elif values is None:
            failures.append(f"{option} takes a value, which Tab does not know: add "
                            + VALUE_HINT)
        elif with_value[option] is not None and sorted(values) != sorted(with_value[option]):
            failures.append(f"{option} takes {'|'.join(with_value[option])}, Tab offers "
                            f"{' '.join(values)}: change {VALUE_HINT}")
    return len(listed)


def tab_offers(completion, folder, line):
    script = r'''
        source "$1"; source "$2"
        read -ra COMP_WORDS <<<"$3"
        [[ $3 == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$3 COMP_POINT=${#3}
        _quillon quillon "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"
    '''
    result = run(["bash", "-c", script, "_", str(BASH_COMPLETION), str(completion), line],
                 cwd=folder)
    return " ".join(sorted(result.stdout.split())) if result.returncode == 0 else result.stderr


def check_tab(files, failures):
    if not BASH_COMPLETION.exists():
        print(f"SKIPPED Tab rows: {BASH_COMPLETION} is missing (package bash-completion)")
        return 0
    with tempfile.TemporaryDirectory() as folder:
        (pathlib.Path(folder) / "demo.img").write_bytes(b"\0" * 512)
        (pathlib.Path(folder) / "recovered").mkdir()
        for line, expected in TAB_ROWS:
            offered = tab_offers(files.completion, folder, line)
            if offered != expected:
                failures.append(f"Tab after {line!r} offers {offered!r}, not {expected!r}")
    return len(TAB_ROWS)


def project_version(build_dir):
    cache = (build_dir / "CMakeCache.txt").read_text()
    found = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache, re.MULTILINE)
    return found.group(1) if found else None


def check_versions(options, files, failures):
    version = project_version(options.build_dir)
    if version is None:
        failures.append(f"no project version in {options.build_dir / 'CMakeCache.txt'}")
        return
    programs = [files.quillon] + ([files.gui] if files.gui else [])
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    for program in programs:
        said = run([str(program), "--version"], env=environment).stdout.strip()
        if said != f"Quillon {version}":
            failures.append(f"{program.name} --version says {said!r}, the project is {version}")


def main():
    options = parse()
    files = Files(options)
    if not files.quillon.exists():
        support.skip(f"{files.quillon} is not built")
    failures = []
    option_count = check_options(files, failures)
    row_count = check_tab(files, failures)
    if not options.root:
        check_versions(options, files, failures)
    for failure in failures:
        print(f"FAIL: {failure}")
    print(f"{option_count} options, {row_count} Tab rows: "
          f"{'ok' if not failures else f'{len(failures)} failures'}")
    return support.FAIL if failures else support.PASS


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Starting the real `quillon-gui` with a source and --screenshot (no display needed).

- started in the image's folder with the bare name of the image, the window scans that file,
  as the command line does (not a device of that name under /dev), and writes the picture;
- a picture that cannot be written (a path under a file, a full disk) makes the exit status 1,
  with a message naming the path.
"""

import os
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import cli_support as cli  # noqa: E402
import e2e_support as support  # noqa: E402

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def main():
    options = support.parse_arguments(__doc__.splitlines()[0])
    binary = options.build_dir / "bin" / "quillon-gui"
    if not binary.is_file():
        support.skip(f"{binary} not built (the window needs Qt 6)")
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    checks = cli.Checks()
    with support.ScratchDir(options.build_dir, "gui-start", options.keep) as scratch:
        cli.demo_image(options.source_dir, scratch.path)
        print("a bare file name in the current folder:")
        completed = cli.run([binary, "demo.img", "--screenshot", "shot.png"], cwd=scratch.path,
                            env=environment)
        picture = scratch.path / "shot.png"
        checks.expect(completed.returncode == 0 and picture.is_file()
                      and picture.read_bytes().startswith(PNG_SIGNATURE),
                      f"quillon-gui demo.img: exit {completed.returncode}, "
                      f"{completed.stderr.decode(errors='replace')[-300:]!r}")

        print("a picture that cannot be written:")
        blocker = scratch.path / "a-file"
        blocker.write_bytes(b"not a folder")
        for target in (blocker / "shot.png", pathlib.Path("/dev/full")):
            run_environment = environment
            if target == pathlib.Path("/dev/full"):
                # Qt's PNG writer drops its row buffer when a write fails half-way; in a sanitizer
                # build that leak (in Qt, at exit) must not hide the exit status checked here.
                asan = os.environ.get("ASAN_OPTIONS", "")
                run_environment = dict(environment,
                                       ASAN_OPTIONS=f"{asan}:detect_leaks=0".lstrip(":"))
            completed = cli.run([binary, "demo.img", "--screenshot", target], cwd=scratch.path,
                                env=run_environment)
            stderr = completed.stderr.decode(errors="replace")
            checks.expect(completed.returncode == 1 and f"cannot write {target}" in stderr,
                          f"--screenshot {target}: exit {completed.returncode}, "
                          f"{stderr[-300:]!r}")
        scratch.finish(not checks.failures)
    return checks.result()


if __name__ == "__main__":
    sys.exit(main())

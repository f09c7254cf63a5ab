#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh, reusing build/) and checks it the way a user
# meets it, without installing it: unpacked with dpkg-deb -x into a scratch root, its quillon
# scans and saves the demo image and its quillon-gui draws the window offscreen and finds the
# user guide inside that root; both say the package's version; the desktop entry, the AppStream
# metadata and the file types validate; the manual pages render without a warning; the bash
# completion completes; lintian finds no error and no warning. Prints one line when all is well.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if ! deb=$("$top/scripts/package.sh" 2>"$scratch/package.log"); then
  cat "$scratch/package.log" >&2
  exit 1
fi
root=$scratch/root
dpkg-deb -x "$deb" "$root"

failures=0
fail() {
  echo "check-package: $*" >&2
  failures=$((failures + 1))
}

# --- Name and version: one version, from the build, everywhere.
version=$(dpkg-deb -f "$deb" Version)
expected_name="quillon_${version}_$(dpkg --print-architecture).deb"
[ "$(basename "$deb")" = "$expected_name" ] || fail "package is $(basename "$deb"), not $expected_name"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
for program in quillon quillon-gui; do
  said=$("$root/usr/bin/$program" --version 2>/dev/null) || said="(exit status $?)"
  [ "$said" = "Quillon $version" ] || fail "$program --version says '$said', the package is $version"
done

# --- The unpacked programs at work, on the demo image.
image=$scratch/demo.img
python3 "$top/tools/quillon-mkimage" --layout deleted --seed 7 --out "$image" \
  --truth "$scratch/demo-truth.json" "$top/tools/demo-mails" >/dev/null
expected_mails=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["mail_count"])' \
  "$scratch/demo-truth.json")
found=$("$root/usr/bin/quillon" scan "$image" --json | wc -l) || fail "quillon scan failed"
[ "$found" = "$expected_mails" ] || fail "quillon scan found $found mails of $expected_mails"
"$root/usr/bin/quillon" save "$image" --out "$scratch/recovered" >/dev/null || fail "quillon save failed"
saved=$(find "$scratch/recovered/Mail Box" -name '*.eml' 2>/dev/null | wc -l)
[ "$saved" = "$expected_mails" ] || fail "quillon save wrote $saved mails of $expected_mails"

guide=$("$root/usr/bin/quillon-gui" --guide-path 2>/dev/null) || fail "quillon-gui finds no guide"
[ "$guide" = "$root/usr/share/quillon/help/index.html" ] ||
  fail "quillon-gui's Help opens '$guide', not the guide in its own root"
for linked in $(grep -o -E '(src|href)="[^":]+"' "$root/usr/share/quillon/help/index.html" |
  cut -d'"' -f2); do
  [ -f "$root/usr/share/quillon/help/$linked" ] || fail "the guide links to $linked, which is missing"
done
"$root/usr/bin/quillon-gui" "$image" --screenshot "$scratch/window.png" 2>/dev/null ||
  fail "quillon-gui --screenshot failed"
[ "$(head -c 8 "$scratch/window.png" 2>/dev/null | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "quillon-gui --screenshot wrote no PNG picture"

# --- Desktop entry, icons, AppStream metadata, file types.
desktop=$root/usr/share/applications/org.example.quillon.desktop
# The entry is listed under System and Utility on purpose, which the validator notes as a hint.
report=$(desktop-file-validate "$desktop" 2>&1) || true
report=$(grep -v 'hint: value "System;Utility;"' <<<"$report" || true)
[ -z "$report" ] || fail "desktop-file-validate: $report"
if ! report=$(appstreamcli validate-tree --no-net "$root" 2>&1); then
  fail "appstreamcli validate-tree: $report"
fi
for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256; do
  icon=$root/usr/share/icons/hicolor/$size/apps/org.example.quillon.png
  [ "$(file -b "$icon" 2>/dev/null | cut -d, -f1-2)" = "PNG image data, ${size/x/ x }" ] ||
    fail "no $size PNG icon"
done
mime=$scratch/mime
mkdir -p "$mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$root/usr/share/mime/packages/quillon.xml" \
  "$mime/packages/"
XDG_DATA_HOME=$scratch XDG_DATA_DIRS=$scratch update-mime-database "$mime" 2>"$scratch/mime.log" || fail "update-mime-database: $(cat "$scratch/mime.log")"
[ -s "$scratch/mime.log" ] && fail "update-mime-database: $(cat "$scratch/mime.log")"
for type in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
  grep -qx "$type" "$mime/types" || fail "the desktop entry opens $type, which no MIME package defines"
done
for glob in dbx:application/x-outlook-express-dbx box:application/x-foxmail-box \
  e01:application/x-ewf img:application/x-raw-disk-image vmdk:application/x-vmdk-disk; do
  grep -q ":${glob#*:}:\*\.${glob%%:*}$" "$mime/globs2" || fail "*.${glob%%:*} is not ${glob#*:}"
done

# --- Manual pages.
for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 \
    >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# --- The manual page and the completion against the unpacked quillon's own usage, and what Tab
# offers.
python3 "$top/tests/e2e/documentation_test.py" --root "$root" >"$scratch/documentation.log" ||
  fail "$(cat "$scratch/documentation.log")"

# --- lintian: no error and no warning (its info notes are explained in packaging/README.md).
if ! report=$(lintian --fail-on error,warning "$deb" 2>&1); then
  fail "lintian: $report"
fi

if [ "$failures" -gt 0 ]; then
  echo "check-package: $failures failed checks of $(basename "$deb")" >&2
  exit 1
fi
echo "check-package: $(basename "$deb") passes ($((SECONDS - started)) s)"

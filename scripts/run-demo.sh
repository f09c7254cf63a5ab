#!/usr/bin/env bash
# Installs what is missing, builds Quillon, writes a demo disk image from the project's own sample
# mails (deleted-file layout: mails at cluster starts with slack and noise between), scans it,
# saves every mail it finds into ./recovered/Mail Box/ and lists what it wrote.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
QUILLON_BUILD_DIR="$top/build" "$top/scripts/build.sh" >/dev/null

mkdir -p "$top/demo"
python3 "$top/tools/quillon-mkimage" --layout deleted --seed 7 \
  --out "$top/demo/demo.img" --truth "$top/demo/demo-truth.json" "$top/tools/demo-mails"
echo "Demo image: demo/demo.img ($(stat -c %s "$top/demo/demo.img") bytes)"
echo
"$top/build/bin/quillon" scan "$top/demo/demo.img"
echo
rm -rf "$top/recovered"
"$top/build/bin/quillon" save "$top/demo/demo.img" --out "$top/recovered"
echo
ls -l "$top/recovered/Mail Box"

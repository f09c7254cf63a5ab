#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, runs every test (unit, end-to-end,
# GUI offscreen), then builds the fuzz targets with clang and runs each for a short while.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

QUILLON_BUILD_DIR="$top/build" "$top/scripts/build.sh" -DQUILLON_WERROR=ON
(cd "$top/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
"$top/scripts/check-package.sh"  # the .deb from this build, unpacked and checked as a user meets it

CC=clang CXX=clang++ QUILLON_BUILD_DIR="$top/build-fuzz" "$top/scripts/build.sh" \
  -DQUILLON_FUZZ=ON -DQUILLON_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd "$top/build-fuzz" && ctest --output-on-failure -L fuzz -j "$(nproc)")

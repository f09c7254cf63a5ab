#!/usr/bin/env bash
# Configures and builds the project into build/ (or $QUILLON_BUILD_DIR). Extra arguments go to cmake.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"

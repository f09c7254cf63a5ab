#!/usr/bin/env bash
# Builds the Debian package dist/quillon_<version>_<arch>.deb and prints its path.
#
# Configures build/ (or $QUILLON_BUILD_DIR, reusing what is built there) for the /usr prefix,
# builds the programs and the files the package holds (not the tests), and packs them with
# CPack: the version is the project's, the dependencies come from the libraries the programs
# link (dpkg-shlibdeps). scripts/check-package.sh checks the result.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh"

generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
cmake -S "$top" -B "$build" "${generator[@]}" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
if grep -q '^QUILLON_SANITIZE:STRING=.' "$build/CMakeCache.txt"; then
  echo "package.sh: $build is a sanitizer build; package from a plain one" >&2
  exit 1
fi
if ! grep -q '^QUILLON_PACKAGE_HAS_WINDOW:INTERNAL=ON' "$build/CMakeCache.txt"; then
  echo "package.sh: $build does not build the window (Qt 6 missing?); the package needs it" >&2
  exit 1
fi
cmake --build "$build" -j "$(nproc)" --target quillon_package_files >/dev/null

rm -rf "$build/package"
if ! (cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1); then
  cat "$build/cpack.log" >&2
  exit 1
fi
packages=("$build"/package/quillon_*.deb)
mkdir -p "$top/dist"
rm -f "$top"/dist/quillon_*.deb
cp "${packages[0]}" "$top/dist/"
echo "$top/dist/$(basename "${packages[0]}")"

#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the desktop window need.
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev cmake ninja-build pkg-config python3
  libicu-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-svg-dev libgl-dev fonts-noto-cjk
  dosfstools
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}" >&2
# Another install running at the same time holds the dpkg lock: wait for it rather than fail.
wait_for_lock=(-o DPkg::Lock::Timeout=600)
$sudo apt-get "${wait_for_lock[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait_for_lock[@]}" install -y -qq \
  --no-install-recommends "${missing[@]}" >/dev/null

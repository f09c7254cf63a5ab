#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the desktop window need.
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev cmake ninja-build pkg-config python3
  libicu-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-svg-dev libgl-dev fonts-noto-cjk
  libewf-dev libvmdk-dev libvhdi-dev libssl-dev libxml2-dev
  ewf-tools qemu-utils
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
# Another apt run (an unattended upgrade, a parallel job) holds the dpkg lock for a while: wait
# for it instead of failing.
lock_wait=(-o DPkg::Lock::Timeout=900)
$sudo apt-get "${lock_wait[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock_wait[@]}" install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null

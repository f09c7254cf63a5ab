#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the desktop window need.
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev lld cmake ninja-build pkg-config python3
  libicu-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-svg-dev libgl-dev fonts-noto-cjk
  # forensic images, digests and reports, and the tools the tests build such images with
  libewf-dev libvmdk-dev libvhdi-dev libssl-dev libxml2-dev
  ewf-tools qemu-utils
  # building and checking the .deb (scripts/package.sh, scripts/check-package.sh)
  dpkg-dev file librsvg2-bin lintian desktop-file-utils appstream shared-mime-info man-db
  bash-completion
  # the benchmarks' peak-RSS figures (bench/)
  time
  # a case-insensitive folder for the save tests, where the kernel can mount one
  dosfstools
  # a mail program that reads the mailboxes a save writes back (tests/e2e/save_mbox_test.py)
  mutt
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
# Another installation running at the same time is waited for, not failed on.
wait_for_lock=(-o DPkg::Lock::Timeout=600)
$sudo apt-get "${wait_for_lock[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait_for_lock[@]}" install -y -qq \
  --no-install-recommends "${missing[@]}" >/dev/null

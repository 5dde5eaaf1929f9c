#!/usr/bin/env bash
# Installs what Dialdex needs to build and test, each package only when it is missing.
# Works as root or through sudo on Debian 12.
#   install-dependencies.sh           what the build and the tests need
#   install-dependencies.sh package   that, and what building and checking the .deb needs
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-svg-dev zlib1g-dev libisal-dev fonts-dejavu-core fonts-dejavu-extra qt6-translations-l10n libgtest-dev
  groff-base man-db python3)
if [ "${1:-}" = package ]; then
  packages+=(dpkg-dev debhelper xz-utils file lintian desktop-file-utils appstream shared-mime-info libglib2.0-bin)
fi
if [ "${DIALDEX_EXTRA_PACKAGES:-}" != "" ]; then
  read -r -a extra <<< "$DIALDEX_EXTRA_PACKAGES"
  packages+=("${extra[@]}")
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Another apt run (a second build of this project, say) may hold the lock for a while: wait for it.
run_as_root apt-get -o DPkg::Lock::Timeout=600 update -qq
run_as_root apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"

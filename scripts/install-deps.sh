#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test rZL-Ctrl.
# Idempotent: installs only what is missing, and runs apt-get update only when needed.
# Extra package names as arguments are installed too (scripts/fuzz.sh asks for clang).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libgtest-dev libgmock-dev
  libnl-3-dev libnl-genl-3-dev
  fonts-wine fonts-crosextra-carlito
  xvfb xauth
  iproute2 util-linux tzdata
  dpkg-dev desktop-file-utils appstream
  g++-mingw-w64-x86-64 wine wine64
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

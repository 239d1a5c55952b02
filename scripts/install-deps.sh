#!/usr/bin/env bash
# Installs the Debian 12 packages a task needs, by group, so that trying the program does not
# download what only the tests, the Windows build or the fuzzers use:
#
#   run      build the programs and run them (scripts/run.sh)
#   test     run + what the tests use: GoogleTest, namespaces and tc, the package checks (scripts/test.sh)
#   windows  run + GoogleTest's sources, the MinGW-w64 cross compiler, Wine and Python (scripts/windows/*)
#   fuzz     run + clang with its sanitizer runtimes (scripts/fuzz.sh)
#   all      every group (.ci/run)
#
#   scripts/install-deps.sh GROUP... [PACKAGE...]   installs what is missing of them
#   scripts/install-deps.sh --list GROUP...         prints the packages missing here, one a line, installs nothing
#
# Idempotent: installs only what is missing, and runs apt-get update only when something is.
set -euo pipefail

run=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libnl-3-dev libnl-genl-3-dev
  fonts-wine fonts-crosextra-carlito
  xvfb xauth
)
test=(
  "${run[@]}"
  libgtest-dev libgmock-dev
  iproute2 util-linux tzdata
  dpkg-dev desktop-file-utils appstream lintian
)
# The Windows scripts build rzl-sim for Linux too (the tests run against it) and GoogleTest from
# its sources with the cross compiler.
windows=("${run[@]}" libgtest-dev g++-mingw-w64-x86-64 wine wine64 python3)
# The fuzz targets build the core (Qt Core and Network) with clang.
fuzz=("${run[@]}" clang libclang-rt-14-dev)

list=0
packages=()
for arg in "$@"; do
  case "$arg" in
    --list) list=1 ;;
    run) packages+=("${run[@]}") ;;
    test) packages+=("${test[@]}") ;;
    windows) packages+=("${windows[@]}") ;;
    fuzz) packages+=("${fuzz[@]}") ;;
    all) packages+=("${test[@]}" "${windows[@]}" "${fuzz[@]}") ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    -*) echo "install-deps: unknown option $arg" >&2; exit 1 ;;
    *) packages+=("$arg") ;;
  esac
done
if [ ${#packages[@]} -eq 0 ]; then
  echo "install-deps: name a group (run, test, windows, fuzz, all); --help says more" >&2
  exit 1
fi

missing=()
for p in "${packages[@]}"; do
  case " ${missing[*]-} " in *" $p "*) continue ;; esac
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "$list" -eq 1 ]; then
  [ ${#missing[@]} -eq 0 ] || printf '%s\n' "${missing[@]}"
  exit 0
fi
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

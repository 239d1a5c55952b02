#!/usr/bin/env bash
# Times a newcomer's first run on a fresh Debian 12 machine: a clean chroot made with debootstrap
# (Debian's mirror, as a new machine has it), a clean `git clone` of the branch inside, then
#   run   scripts/run.sh --demo --screenshot FILE  until the window's picture is saved
#   test  scripts/test.sh                          until its last line
# each in a chroot of its own, each with its apt downloads. Needs root, debootstrap and the
# network to Debian's mirror; nothing is installed on this machine besides debootstrap.
#
#   scripts/measure-first-run.sh [--work DIR] [--branch NAME] [run] [test]
#
# DIR (default /var/tmp/rzl-first-run) keeps the base system as a tarball, so a second
# measurement skips debootstrap (its time is not part of a first run); the chroots are made anew
# from it each time and removed after. Mounts and processes live in a mount and PID namespace
# of their own: they end with the measurement. Times depend on the mirror and on what else the
# machine is doing: the load average is printed beside them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=/var/tmp/rzl-first-run
branch=$(git -C "$root" rev-parse --abbrev-ref HEAD)
mirror=http://deb.debian.org/debian
what=()
while [ $# -gt 0 ]; do
  case "$1" in
    --work) work=$2; shift ;;
    --branch) branch=$2; shift ;;
    run|test) what+=("$1") ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "measure-first-run: unknown argument $1" >&2; exit 1 ;;
  esac
  shift
done
[ ${#what[@]} -gt 0 ] || what=(run test)
[ "$(id -u)" -eq 0 ] || { echo "measure-first-run: needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "measure-first-run: apt-get install debootstrap" >&2; exit 1; }
mkdir -p "$work"

# The base: a minimal Debian 12 with git to clone with and the certificates a new machine has.
base=$work/bookworm-base.tar
if [ ! -f "$base" ]; then
  echo "measure-first-run: making the base system with debootstrap (not timed)"
  rm -rf "$work/base"
  debootstrap --variant=minbase --include=git,ca-certificates bookworm "$work/base" "$mirror" >"$work/debootstrap.log"
  cat >"$work/base/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
  # Package scripts must not start services in a chroot.
  printf '#!/bin/sh\nexit 101\n' >"$work/base/usr/sbin/policy-rc.d"
  chmod +x "$work/base/usr/sbin/policy-rc.d"
  rm -rf "$work/base/var/lib/apt/lists/"* "$work/base/var/cache/apt/archives/"*.deb
  tar -C "$work/base" -cf "$base.part" . && mv "$base.part" "$base"
  rm -rf "$work/base"
fi

# One measurement: a fresh chroot, the clone, the command timed inside with its own mounts.
measure() {
  local name=$1 command=$2
  local chroot=$work/$name
  rm -rf "$chroot"
  mkdir -p "$chroot"
  tar -C "$chroot" -xf "$base"
  cp /etc/resolv.conf "$chroot/etc/resolv.conf"
  git clone -q --no-local --branch "$branch" "$root" "$chroot/root/rzl-ctrl"
  local load
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  # The mounts the tests need: /proc and /sys for the namespaces and tc, /dev with its pts and
  # shm for the terminal tests and Xvfb.
  unshare --mount --pid --fork --propagation private bash -euc '
    chroot=$1; shift
    mount -t proc proc "$chroot/proc"
    mount -t sysfs sysfs "$chroot/sys"
    mount --rbind /dev "$chroot/dev"
    mount -t tmpfs tmpfs "$chroot/dev/shm"
    mount -t tmpfs tmpfs "$chroot/tmp"
    exec chroot "$chroot" env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      bash -c "$1"' measure "$chroot" "cd /root/rzl-ctrl && start=\$(date +%s.%N) && SECONDS=0 &&
      { { $command; } 2>&1; echo \$? >/root/$name.status; } | while IFS= read -r line; do echo \"\$SECONDS \$line\"; done >/root/$name.log;
      echo \$(date +%s.%N) \$start \$(cat /root/$name.status) >/root/$name.time; times >/root/$name.cpu" || true
  local end start status
  read -r end start status <"$chroot/root/$name.time"
  local seconds downloads
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%d", b - a + 0.5 }')
  downloads=$(du -sm "$chroot/var/cache/apt/archives" | cut -f1)
  printf '%-5s %d min %02d s (exit %s; %s MiB of packages downloaded; load before %s, after %s)\n' \
    "$name" $((seconds / 60)) $((seconds % 60)) "$status" "$downloads" "$load" "$(cut -d' ' -f1-3 /proc/loadavg)"
  # Where the time went, from the seconds each line of output came at.
  awk -v total="$seconds" '
    !build && / \[1\/[0-9]+\] / { build = $1 }
    / \[[0-9]+\/[0-9]+\] / { built = $1 }
    END { printf "      packages %d s, build %d s, then %d s to the end\n", build, built - build, total - built }' \
    "$chroot/root/$name.log"
  # The processor time it took (user and system, of all its processes): what an idle machine
  # with the same cores would need at least, whatever else ran beside it.
  awk 'NR == 2 { printf "      processor time: user %s, system %s\n", $1, $2 }' "$chroot/root/$name.cpu"
  cp "$chroot/root/$name.log" "$work/$name.log"
  [ "$name" != run ] || cp "$chroot/root/first-run-main.png" "$work/" 2>/dev/null || true
  tail -n 3 "$work/$name.log" | sed 's/^/      /'
  rm -rf "$chroot"
}

echo "measure-first-run: branch $branch, $(nproc) cores; logs in $work"
for w in "${what[@]}"; do
  case "$w" in
    run) measure run "scripts/run.sh --demo --screenshot /root/first-run-main.png && test -s /root/first-run-main.png" ;;
    test) measure test "scripts/test.sh" ;;
  esac
done

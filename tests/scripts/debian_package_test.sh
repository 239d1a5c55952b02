#!/usr/bin/env bash
# The Debian package as a user gets it: CPack builds it from the build directory, it unpacks into
# a throw-away root, and the programs there run: rzlctl --version prints the package's version,
# and the installed rzl-sim answers the installed rzlctl on loopback. Also checks what the package
# declares and holds: library and font dependencies, the copyright and changelog, manual pages
# that name every option of --help, the desktop entry, the AppStream metainfo (validated, also
# pedantically) and the icon sizes; and lintian, Debian's own checker, finds no error or warning.
# Skipped (77) without CPack or the Debian tools.
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "$tool missing"; exit 77; }
done

here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns_lib.sh"  # rzl_start_sim

work=$(mktemp -d)
RZL_SIM_PID=""
cleanup() {
  [ -n "$RZL_SIM_PID" ] && kill "$RZL_SIM_PID" 2>/dev/null && wait "$RZL_SIM_PID" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/*.deb)
root=$work/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "$(basename "$deb"): Depends: $depends"

# Libraries found by dpkg-shlibdeps; the fonts the windows are drawn with.
wanted="libqt6core6 libqt6network6 libnl-3-200 libnl-genl-3-200"
[ -x "$bin/rzl-ctrl" ] && wanted="$wanted libqt6widgets6 libqt6svg6 fonts-wine fonts-crosextra-carlito"
for package in $wanted; do
  echo ", $depends," | grep -q ", $package[ ,]" || fail "Depends lacks $package"
done

# The licence, machine-readable, and the changelog whose entry is this release.
doc=$root/usr/share/doc/rzl-ctrl
grep -qx "License: Apache-2.0" "$doc/copyright" 2>/dev/null || fail "no copyright file naming Apache-2.0"
zcat "$doc/changelog.gz" | head -n 1 | grep -q "^rzl-ctrl ($version) " || fail "the changelog's first entry is not $version"

if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --display-level ">=warning" "$deb" >"$work/lintian" 2>&1 ||
    { cat "$work/lintian"; fail "lintian"; }
fi

# The installed programs, without the build tree's help.
[ "$("$bin/rzlctl" --version)" = "rzlctl $version" ] || fail "rzlctl --version is not $version"
[ "$("$bin/rzl-sim" --version)" = "rzl-sim $version" ] || fail "rzl-sim --version is not $version"
rzl_start_sim "$bin" --listen 127.0.0.1:0 || fail "installed rzl-sim did not start"
port=$RZL_SIM_PORT
(cd "$work" && "$bin/rzlctl" --device "127.0.0.1:$port" --no-link-check identify) >"$work/identify" ||
  fail "installed rzlctl identify against the installed rzl-sim"
grep -q "^Model: .*(code 176)$" "$work/identify" || { cat "$work/identify"; fail "identify printed no model"; }

# A manual page for each program, naming every option its --help lists.
for program in rzlctl rzl-sim rzl-ctrl; do
  [ -x "$bin/$program" ] || continue
  page=$root/usr/share/man/man1/$program.1.gz
  [ -f "$page" ] || fail "no manual page for $program"
  text=$(zcat "$page" | sed 's/\\-/-/g')
  for option in $(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$text" || fail "$program(1) lacks $option"
  done
  grep -q "^\.TH .* \"rZL-Ctrl $version\"" <<<"$text" || fail "$program(1) is not of version $version"
  if command -v groff >/dev/null; then
    warnings=$(zcat "$page" | groff -man -ww -z -Tutf8 2>&1) || true
    [ -z "$warnings" ] || fail "$program(1): $warnings"
  fi
done

[ -x "$bin/rzl-ctrl" ] || { echo "ok (no desktop program)"; exit 0; }
desktop=$root/usr/share/applications/rzl-ctrl.desktop
[ -f "$desktop" ] || fail "no desktop entry"
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop entry: $out"
  if grep -v ": hint: " <<<"$out" | grep -q .; then fail "desktop entry: $out"; fi
fi
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo names no release $version"
grep -q "<project_license>Apache-2.0</project_license>" "$metainfo" || fail "metainfo names no licence"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --pedantic --no-net "$metainfo" >"$work/appstream" 2>&1 || { cat "$work/appstream"; fail "metainfo"; }
  if grep -q "^[EWIP]: " "$work/appstream"; then cat "$work/appstream"; fail "metainfo: the validator's remarks"; fi
fi
# Each hicolor PNG has the size its folder says; the SVG is there.
icons=$root/usr/share/icons/hicolor
[ -f "$icons/scalable/apps/rzl-ctrl.svg" ] || fail "no scalable icon"
for png in "$icons"/*x*/apps/rzl-ctrl.png; do
  folder=$(basename "$(dirname "$(dirname "$png")")")
  size=$(od -An -tu1 -j16 -N8 "$png" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
  [ "$size" = "$folder" ] || fail "$png is $size"
done
[ -f "$icons/48x48/apps/rzl-ctrl.png" ] || fail "no 48x48 icon"
echo "ok"

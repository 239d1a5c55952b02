#!/usr/bin/env bash
# rzl-ctrl as a whole program on the offscreen platform: it starts, links to the demo module on
# loopback, pictures each of its three windows at its own size, and exits with 0; bad arguments
# are refused. --help, --version and refused arguments need no display. Skipped (77) when the
# desktop program is not built.
set -euo pipefail
build=$(cd "$1" && pwd)
program="$build/rzl-ctrl"
[ -x "$program" ] || { echo "rzl-ctrl not built"; exit 77; }
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# PNG width and height from the header.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d\n", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }

for case in main:313x476 setup:701x367 counter:362x226; do
  window=${case%%:*}
  want=${case#*:}
  timeout 60 "$program" --demo --screenshot "$work/$window.png" --screenshot-delay 1500 --screenshot-window "$window"
  [ -s "$work/$window.png" ] || { echo "no picture of the $window window" >&2; exit 1; }
  got=$(png_size "$work/$window.png")
  [ "$got" = "$want" ] || { echo "$window window is $got, expected $want" >&2; exit 1; }
done

status=0
"$program" --screenshot-window elsewhere --screenshot "$work/x.png" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || { echo "a bad window name gave exit code $status" >&2; exit 1; }
status=0
"$program" --no-such-option 2>/dev/null || status=$?
[ "$status" -eq 2 ] || { echo "an unknown option gave exit code $status" >&2; exit 1; }
"$program" --help | grep -q -- "--screenshot-window"

# Without any display: an application object would abort here, so nothing may build one first.
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$program" "$@"; }
nodisplay --help | grep -q -- "--screenshot-window" || { echo "--help needs a display" >&2; exit 1; }
nodisplay --version | grep -qx "rzl-ctrl [0-9][0-9.]*" || { echo "--version needs a display" >&2; exit 1; }
status=0
nodisplay --device 10.0.0.300 2>"$work/err" || status=$?
[ "$status" -eq 2 ] && [ "$(wc -l <"$work/err")" -eq 2 ] && grep -q "^Try 'rzl-ctrl --help'" "$work/err" ||
  { echo "a refused argument without a display gave exit code $status:" >&2; cat "$work/err" >&2; exit 1; }
# Qt's own options still reach the application object.
"$program" -platform offscreen --version | grep -qx "rzl-ctrl [0-9][0-9.]*"
echo "desktop program: pictures at window size, arguments checked"

#!/usr/bin/env bash
# Renders pictures of the windows into docs/ under a virtual X server:
#   main-no-module.png  the main window with no module answering (loopback port 1)
#   main-linked.png     the main window linked to the demo module (model 176, DO0/DO2 on, DI1/DI3 active)
#   setup.png           the setup window showing the demo module's settings
#   counter.png         the counter window with the demo module's counts
#   search.png          the search window after a sweep of simulated modules on 127.0.0.x
#   main-stale.png      the main window after the module stopped answering: the readings marked
#   main-refused.png    the main window told that the module refuses requests
# Everything talks to loopback only. Builds first unless RZL_BUILD_DIR holds a built rzl-ctrl.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RZL_BUILD_DIR:-$root/build}
[ -x "$build/rzl-ctrl" ] || "$root/scripts/build.sh"
out=${RZL_SCREENSHOT_DIR:-$root/docs}
mkdir -p "$out"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

shot() {  # file, then rzl-ctrl arguments
  local file=$1
  shift
  xvfb-run -a -s "-screen 0 1024x768x24" "$build/rzl-ctrl" --screenshot "$out/$file" "$@"
  [ -s "$out/$file" ] || { echo "screenshots: $file was not written" >&2; exit 1; }
  echo "screenshots: $out/$file"
}

shot main-no-module.png --no-link-check --device 127.0.0.1:1 --screenshot-delay 1500
shot main-linked.png --demo --screenshot-delay 2500
shot setup.png --demo --screenshot-delay 2500 --screenshot-window setup
shot counter.png --demo --screenshot-delay 2500 --screenshot-window counter

# The search window with results: the search window test sweeps simulated modules on
# 127.0.0.2-6 (one silent, one slow, one reporting another address) and leaves its picture.
RZL_SEARCH_PICTURE_DIR=$out xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
  "$build/tests/search_window_gui_test" --gtest_filter='*CtrlFSweeps*' >/dev/null 2>&1 || true  # under X the main window's face also shows it inactive
[ -s "$out/search.png" ] || { echo "screenshots: search.png was not written" >&2; exit 1; }
echo "screenshots: $out/search.png"

# The main window when the module is gone and when it refuses: the test that drives those cases
# against a simulated module on loopback leaves the pictures.
RZL_AWAY_PICTURE_DIR=$out xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
  "$build/tests/module_away_gui_test" --gtest_filter='*StoppedModule*:*RefusingModule*' >/dev/null 2>&1 || true
for file in main-stale.png main-refused.png; do
  [ -s "$out/$file" ] || { echo "screenshots: $file was not written" >&2; exit 1; }
  echo "screenshots: $out/$file"
done

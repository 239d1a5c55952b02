#!/usr/bin/env bash
# Installs what is missing, builds, and starts rzl-ctrl against the built-in simulated module.
# Extra arguments go to rzl-ctrl (without any, it runs with --demo).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" run
build=${RZL_BUILD_DIR:-$root/build}
# Only the program and what it needs. A first build leaves the tests out (their packages are
# scripts/test.sh's) and compiles the libraries in batches; a build folder keeps its settings.
config=()
[ -f "$build/CMakeCache.txt" ] || config=(-DRZL_BUILD_TESTS=OFF -DRZL_UNITY_BUILD=ON)
RZL_TARGETS=rzl-ctrl "$root/scripts/build.sh" "${config[@]}"
if [ $# -eq 0 ]; then set -- --demo; fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display found; starting under a virtual X server (xvfb-run)" >&2
  exec xvfb-run -a "$build/rzl-ctrl" "$@"
fi
exec "$build/rzl-ctrl" "$@"

#!/usr/bin/env bash
# Includes point down, in the order of the build's libraries (one per folder):
#   platform < core < protocol, sim < link, filestore < ui < ui's widgets < app < cli
# The platform layer (platform/, plain C++ without Qt) is the basement and includes nothing of
# ours above it, nor Qt. Folders on one floor may include each other's headers only where the
# table below lets them: the simulator and the protocol stand side by side, and so do link and
# filestore. Prints every include that points up or sideways.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

floor() {  # floor of a path inside the tree, or nothing for paths outside the layers
    case $1 in
        platform/tests/*) ;;
        platform/*) echo 0 ;;
        core/*) echo 1 ;;
        protocol/*|sim/*) echo 2 ;;
        link/*|filestore/*) echo 3 ;;
        ui/*/widgets/*|ui/widgets/*) echo 5 ;;
        ui/*) echo 4 ;;
        app/*) echo 6 ;;
        cli/*) echo 7 ;;
    esac
}

folder() { echo "${1%%/*}"; }

bad=0
while IFS= read -r file; do
    from=$(floor "$file")
    [ -n "$from" ] || continue
    if [ "$from" -eq 0 ] && grep -q '^#include <Q' "$file"; then
        echo "Qt in the platform layer: $file"
        bad=1
    fi
    while IFS= read -r inc; do
        to=$(floor "$inc")
        [ -n "$to" ] || continue
        if [ "$to" -gt "$from" ]; then
            echo "points up: $file includes $inc"
            bad=1
        elif [ "$to" -eq "$from" ] && [ "$(folder "$file")" != "$(folder "$inc")" ]; then
            echo "points sideways: $file includes $inc"
            bad=1
        fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
exit $bad

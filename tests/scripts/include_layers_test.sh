#!/usr/bin/env bash
# Includes point down: the platform layer (platform/, plain C++ without Qt) is the basement and
# includes nothing of ours above it, nor Qt; the ground floor (core/) stands on it; protocol,
# link, file store and the simulator stand on core/ (and on each other); the windows' logic on
# those; widgets, app/ and cli/ on top. Prints every include that points up.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

floor() {  # floor of a path inside the tree, or nothing for paths outside the layers
    case $1 in
        platform/tests/*) ;;
        platform/*) echo -1 ;;
        core/*) echo 0 ;;
        protocol/*|link/*|filestore/*|sim/*) echo 1 ;;
        ui/*/widgets/*|ui/widgets/*) echo 3 ;;
        ui/main/*|ui/setup/*|ui/counter/*|ui/search/*) echo 2 ;;
        app/*|cli/*) echo 3 ;;
    esac
}

bad=0
while IFS= read -r file; do
    from=$(floor "$file")
    [ -n "$from" ] || continue
    if [ "$from" -lt 0 ] && grep -q '^#include <Q' "$file"; then
        echo "Qt in the platform layer: $file"
        bad=1
    fi
    while IFS= read -r inc; do
        to=$(floor "$inc")
        [ -n "$to" ] || continue
        if [ "$to" -gt "$from" ]; then
            echo "points up: $file includes $inc"
            bad=1
        fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
exit $bad

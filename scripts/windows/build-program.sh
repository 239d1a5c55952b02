#!/usr/bin/env bash
# Cross-builds rzl-ctrl.exe, rzlctl.exe and rzl-sim.exe for 64-bit Windows against the Qt that
# scripts/windows/build-qt.sh made, and gathers them with the Qt and MinGW runtime DLLs, the Qt
# plugins and the fonts into a folder ready to zip (and the zip beside it).
#   scripts/windows/build-program.sh [OUTDIR]     (default OUTDIR: build-windows/rzl-ctrl-windows)
# The windows' pictures are rendered to PNG by the Linux build's rzl-render-icon, since this Qt
# has no Qt Svg.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${RZL_QT_WIN_CACHE:-$HOME/.cache/rzl-ctrl/qt-win}
qt=$cache/qt6-mingw
build=${RZL_WINDOWS_BUILD_DIR:-$root/build-windows}
out=${1:-$build/rzl-ctrl-windows}
jobs=${RZL_JOBS:-$(nproc)}
[[ -f $qt/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake ]] || {
    echo "build-program: no Qt for Windows in $qt; run scripts/windows/build-qt.sh first" >&2
    exit 1
}

# The Linux build gives the picture renderer.
linux_build=${RZL_BUILD_DIR:-$root/build}
if [[ ! -x $linux_build/packaging/rzl-render-icon ]]; then
    "$root/scripts/build.sh"
fi
pictures=$build/pictures
mkdir -p "$pictures"
for svg in "$root"/ui/resources/*.svg; do
    QT_QPA_PLATFORM=offscreen "$linux_build/packaging/rzl-render-icon" --picture "$svg" \
        "$pictures/$(basename "$svg" .svg).png" 4
done

# shellcheck source=cross_env.sh
source "$root/scripts/windows/cross_env.sh"
cmake "${cross_cmake_args[@]}" -S "$root" -B "$build" \
    -DCMAKE_PREFIX_PATH="$qt" \
    -DCMAKE_FIND_ROOT_PATH="/usr/x86_64-w64-mingw32;$qt" \
    -DRZL_BUILD_TESTS=OFF \
    -DRZL_PICTURES_PNG_DIR="$pictures" \
    ${CCACHE:+-DCMAKE_CXX_COMPILER_LAUNCHER=ccache}
cmake --build "$build" --parallel "$jobs" --target rzl-ctrl rzlctl rzl-sim

rm -rf "$out"
mkdir -p "$out/platforms" "$out/styles" "$out/fonts"
cp "$build"/rzl-ctrl.exe "$build"/rzlctl.exe "$build"/rzl-sim.exe "$out/"
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6Network; do cp "$qt/bin/$dll.dll" "$out/"; done
cp "$qt/plugins/platforms/qwindows.dll" "$out/platforms/"
if ls "$qt"/plugins/styles/*.dll >/dev/null 2>&1; then cp "$qt"/plugins/styles/*.dll "$out/styles/"; fi
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll; do cp "$gcc_dir/$dll" "$out/"; done
cp /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$out/"
# Tahoma from the wine fonts package and Carlito, metric twin of Calibri, for PCs without them.
cp /usr/share/wine/fonts/tahoma.ttf "$out/fonts/" 2>/dev/null || true
cp /usr/share/fonts/truetype/crosextra/Carlito-*.ttf "$out/fonts/" 2>/dev/null || true
cp "$root/README.md" "$out/README.md"

zip=$out.zip
rm -f "$zip"
(cd "$(dirname "$out")" && python3 -m zipfile -c "$zip" "$(basename "$out")")
echo "build-program: $out ($(du -sh "$out" | cut -f1)), $zip ($(du -h "$zip" | cut -f1))"

#!/usr/bin/env bash
# Cross-builds rzl-ctrl.exe, rzlctl.exe and rzl-sim.exe for 64-bit Windows against Qt for
# MinGW-w64 (scripts/windows/qt_for_windows.sh says where it is found) and makes the zip users
# get: a folder rzl-ctrl-VERSION-windows-x64/ with the three programs, the DLLs they import
# (followed from their import tables, not listed by hand), the platform plugin, the fonts, a short
# README-windows.txt and the licence texts, zipped the same way each time, with its SHA-256.
#   scripts/windows/build-program.sh
# Build folder: build-windows (or $RZL_WINDOWS_BUILD_DIR); the folder, the zip and its .sha256
# go there. The windows' pictures and the icon are rendered by the Linux build's
# rzl-render-icon (this Qt has no Qt Svg); the Linux build is made first when it is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${RZL_WINDOWS_BUILD_DIR:-$root/build-windows}
jobs=${RZL_JOBS:-$(nproc)}
"$root/scripts/install-deps.sh" run windows
# shellcheck source=qt_for_windows.sh
source "$root/scripts/windows/qt_for_windows.sh"
# shellcheck source=pe_imports.sh
source "$root/scripts/windows/pe_imports.sh"
find_qt_for_windows || { echo "build-program: ${qt_missing:-Qt for Windows not usable}" >&2; exit 1; }

# The Linux build gives the picture renderer.
linux_build=${RZL_BUILD_DIR:-$root/build}
if [[ ! -x $linux_build/packaging/rzl-render-icon ]]; then
    "$root/scripts/build.sh"
fi
render=$linux_build/packaging/rzl-render-icon
pictures=$build/pictures
mkdir -p "$pictures" "$build/icon"
for svg in "$root"/ui/resources/*.svg; do
    png=$pictures/$(basename "$svg" .svg).png
    [[ $png -nt $svg ]] || "$render" --picture "$svg" "$png" 4
done
# The icon in the sizes Windows shows (small icons to large tiles), as one .ico.
icon=$build/icon/rzl-ctrl.ico
if [[ ! $icon -nt $root/packaging/rzl-ctrl.svg ]]; then
    icon_sizes=(16 20 24 32 40 48 64 256)
    "$render" "$root/packaging/rzl-ctrl.svg" "$build/icon" "${icon_sizes[@]}"
    icon_pictures=()
    for size in "${icon_sizes[@]}"; do icon_pictures+=("$build/icon/${size}x$size/apps/rzl-ctrl.png"); done
    python3 "$root/scripts/windows/make_ico.py" "$icon" "${icon_pictures[@]}"
fi

# shellcheck source=cross_env.sh
source "$root/scripts/windows/cross_env.sh"
launcher=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake "${cross_cmake_args[@]}" -S "$root" -B "$build" \
    -DCMAKE_PREFIX_PATH="$qt" \
    -DCMAKE_FIND_ROOT_PATH="/usr/x86_64-w64-mingw32;$qt" \
    -DRZL_BUILD_TESTS=OFF \
    -DRZL_WERROR="${RZL_WERROR:-OFF}" \
    -DRZL_PICTURES_PNG_DIR="$pictures" \
    -DRZL_WINDOWS_ICON="$icon" \
    "${launcher[@]}" >/dev/null
# The resource compiler writes each file's time into the program unless given one: the release's.
release=$(sed -n 's/^set(RZL_RELEASE_DATE "\([0-9-]*\)")/\1/p' "$root/CMakeLists.txt")
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(date -u -d "$release" +%s)
QT_RCC_SOURCE_DATE_OVERRIDE=$SOURCE_DATE_EPOCH cmake --build "$build" --parallel "$jobs" --target rzl-ctrl rzlctl rzl-sim

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=rzl-ctrl-$version-windows-x64
out=$build/$name
rm -rf "$out"
mkdir -p "$out/platforms" "$out/fonts" "$out/licenses"
# Stripped of their symbols; strip would write the current time into each file's header
# unless told a time (the linker writes none: --no-insert-timestamp).
strip() { SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip "$@"; }
for program in rzl-ctrl rzlctl rzl-sim; do
    strip -o "$out/$program.exe" "$build/$program.exe"
done
# The platform plugin; the style plugin is left out (the program draws with Fusion, built in).
strip --strip-unneeded -o "$out/platforms/qwindows.dll" "$qt/plugins/platforms/qwindows.dll"

# The DLLs imported, followed from the programs and the plugin: from Qt, or MinGW's runtime.
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
search=("$qt/bin" "$gcc_dir" /usr/x86_64-w64-mingw32/lib)
queue=("$out"/*.exe "$out/platforms/qwindows.dll")
while ((${#queue[@]})); do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    while read -r dll; do
        is_system_dll "$dll" && continue
        [[ -n $(find "$out" -maxdepth 1 -iname "$dll") ]] && continue
        found=""
        for dir in "${search[@]}"; do
            found=$(find "$dir" -maxdepth 1 -iname "$dll" | head -n1)
            [[ -n $found ]] && break
        done
        if [[ -z $found ]]; then
            echo "build-program: ${file##*/} imports $dll, which is neither Windows' own (system-dlls.txt) nor found" >&2
            exit 1
        fi
        strip --strip-unneeded -o "$out/$(basename "$found")" "$found"
        queue+=("$out/$(basename "$found")")
    done < <(pe_imports "$file")
done

# Tahoma from Wine's fonts and Carlito, metric twin of Calibri, for PCs without them.
cp /usr/share/wine/fonts/tahoma.ttf "$out/fonts/"
cp /usr/share/fonts/truetype/crosextra/Carlito-*.ttf "$out/fonts/"

# README-windows.txt and the licence texts of what the folder holds.
sed "s/@VERSION@/$version/g" "$root/packaging/windows/README-windows.txt" >"$out/README-windows.txt"
"$root/scripts/windows/gather-licenses.sh" "$out/licenses"

# The same files give the same zip: sorted, one time for all (the release date), fixed modes.
zip=$build/$name.zip
python3 "$root/scripts/windows/make_zip.py" "$out" "$zip"
(cd "$build" && sha256sum "$name.zip" >"$name.zip.sha256")
echo "build-program: $out ($(du -sh "$out" | cut -f1)), $zip ($(du -h "$zip" | cut -f1))"
echo "build-program: SHA-256 $(cut -d' ' -f1 "$zip.sha256")  $name.zip"

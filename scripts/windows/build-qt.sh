#!/usr/bin/env bash
# Builds Qt 6 (Core, Gui, Widgets, Network; the version Debian ships) for x86_64-w64-mingw32
# from Debian's source package, with this machine's Qt tools (moc, rcc, uic) as host tools.
# Result: $RZL_QT_WIN_CACHE/qt6-mingw (default cache: ~/.cache/rzl-ctrl/qt-win), reused on
# later runs. Takes about an hour on two cores; not part of CI.
# Debian's source of qt6-svg may be missing from the mirror, so the Windows build draws its
# pictures from PNGs rendered at build time on Linux instead of linking Qt Svg.
# CI never runs this: it unpacks the prebuilt archive of ../shared/qt-win/ (qt_for_windows.sh).
#   scripts/windows/build-qt.sh [--sources-only]   (--sources-only: fetch and prepare the
#                                                   source, then stop before building)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${RZL_QT_WIN_CACHE:-$HOME/.cache/rzl-ctrl/qt-win}
prefix=$cache/qt6-mingw
jobs=${RZL_JOBS:-$(nproc)}
sources_only=0
[[ ${1:-} == --sources-only ]] && sources_only=1
if [[ -f $prefix/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake && $sources_only -eq 0 ]]; then
    echo "Qt for Windows already built in $prefix"
    exit 0
fi
# The host tools (Qt's moc, rcc, uic), CMake, the cross compiler, dpkg-source.
"$root/scripts/install-deps.sh" run windows dpkg-dev
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# apt fetches Debian's source package only through deb-src entries, which a fresh Debian 12
# does not have. Each Debian entry of the apt sources gets a deb-src twin, in a file of ours.
add_debian_sources() {
    local list=/etc/apt/sources.list.d/rzl-ctrl-deb-src
    local deb822 oneline
    # deb822 files (Debian 12's debian.sources): each stanza of Debian's archive, as deb-src.
    deb822=$(awk 'BEGIN { RS = ""; ORS = "\n\n" }
        /(^|\n)Types:([^\n]* )?deb([ \n]|$)/ && /(^|\n)URIs:[^\n]*debian/ && !/(^|\n)Enabled: *no/ {
            sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' \
        /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
    # One-line files: "deb URI SUITE COMPONENTS" of Debian's archive.
    oneline=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        sed -n 's/^deb \(.*debian.*\)/deb-src \1/p' || true)
    if [[ -z $deb822 && -z $oneline ]]; then
        echo "build-qt: no Debian archive among the apt sources; add a deb-src line for it by hand" >&2
        exit 1
    fi
    [[ -z $deb822 ]] || printf '%s\n' "$deb822" | $sudo tee "$list.sources" >/dev/null
    [[ -z $oneline ]] || printf '%s\n' "$oneline" | $sudo tee "$list.list" >/dev/null
    echo "build-qt: added deb-src entries ($list.*); apt-get update"
    $sudo apt-get update -qq
}

mkdir -p "$cache/src"
cd "$cache/src"
if ! ls qt6-base_*.dsc >/dev/null 2>&1 || ! ls qt6-base_*.orig.tar.xz >/dev/null 2>&1; then
    apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Package: qt6-base' || add_debian_sources
    apt-get source --download-only qt6-base
fi
srcdir=$(ls -d qt6-base-*/ 2>/dev/null | head -n1 || true)
if [[ -z $srcdir ]]; then
    dpkg-source --no-check -x qt6-base_*.dsc >/dev/null
    srcdir=$(ls -d qt6-base-*/ | head -n1)
fi
srcdir=$cache/src/${srcdir%/}

# Debian's source leaves out the tablet interface's headers that the Windows platform plugin
# includes; Wine's development package has them (they then need two of Wine's own macros).
wintab=$srcdir/src/3rdparty/wintab
if [[ ! -f $wintab/wintab.h ]]; then
    mkdir -p "$cache/wine-dev" "$wintab"
    (cd "$cache/wine-dev" && { ls libwine-dev_*.deb >/dev/null 2>&1 || apt-get download libwine-dev; } &&
        dpkg -x libwine-dev_*.deb unpacked)
    cp "$cache"/wine-dev/unpacked/usr/include/wine/wine/windows/pktdef.h "$wintab/"
    {
        printf '#ifndef API\n# define API WINAPI\n#endif\n'
        printf '#ifndef DECL_WINELIB_TYPE_AW\n# ifdef UNICODE\n#  define DECL_WINELIB_TYPE_AW(type) typedef type##W type;\n'
        printf '# else\n#  define DECL_WINELIB_TYPE_AW(type) typedef type##A type;\n# endif\n#endif\n'
        cat "$cache"/wine-dev/unpacked/usr/include/wine/wine/windows/wintab.h
    } >"$wintab/wintab.h"
fi

# Built without OpenGL, the Windows platform plugin must not reach for the dynamic OpenGL
# context either (Qt 6.4 asks only for dynamicgl there).
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$srcdir/src/plugins/platforms/windows/qwindowswindow.cpp"

if [[ $sources_only -eq 1 ]]; then
    echo "build-qt: the source is ready in $srcdir"
    exit 0
fi

build=$cache/build-qtbase
mkdir -p "$build"
# shellcheck source=cross_env.sh
source "$root/scripts/windows/cross_env.sh"
cmake "${cross_cmake_args[@]}" -S "$srcdir" -B "$build" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_openssl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_testlib=ON -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_icu=OFF
nice -n 10 cmake --build "$build" --parallel "$jobs"
cmake --install "$build"
echo "Qt for Windows installed in $prefix"

#!/usr/bin/env bash
# Builds Qt 6 (Core, Gui, Widgets, Network; the version Debian ships) for x86_64-w64-mingw32
# from Debian's source package, with this machine's Qt tools (moc, rcc, uic) as host tools.
# Result: $RZL_QT_WIN_CACHE/qt6-mingw (default cache: ~/.cache/rzl-ctrl/qt-win), reused on
# later runs. Takes about an hour on two cores; not part of CI.
# Debian's source of qt6-svg may be missing from the mirror, so the Windows build draws its
# pictures from PNGs rendered at build time on Linux instead of linking Qt Svg.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${RZL_QT_WIN_CACHE:-$HOME/.cache/rzl-ctrl/qt-win}
prefix=$cache/qt6-mingw
jobs=${RZL_JOBS:-$(nproc)}
if [[ -f $prefix/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake ]]; then
    echo "Qt for Windows already built in $prefix"
    exit 0
fi
mkdir -p "$cache/src"
cd "$cache/src"
if ! ls qt6-base_*.dsc >/dev/null 2>&1 || ! ls qt6-base_*.orig.tar.xz >/dev/null 2>&1; then
    # Needs deb-src lines in the apt sources (scripts/windows/install-deps.sh adds them).
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

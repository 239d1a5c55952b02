# Sourced by the Windows build scripts: finds Qt built for Windows (MinGW-w64).
#   find_qt_for_windows     sets qt to its prefix; returns 1 with the reason in qt_missing
# The prebuilt archive (RZL_QT_WIN_ARCHIVE, default ../shared/qt-win/ from the project's folder)
# is checked against the SHA-256 this tree expects (qt-archive.sha256 beside this file, or
# RZL_QT_WIN_SHA256) and unpacked once into the cache folder (RZL_QT_WIN_CACHE, default
# ~/.cache/rzl-ctrl/qt-win); an archive that differs is an error, never used. Without the
# archive, a Qt already in the cache (unpacked before, or built by build-qt.sh) is used.
# Needs $root, the project's folder.
find_qt_for_windows() {
    local name=qt6.4.2-mingw-w64-x86_64.tar.xz
    local archive=${RZL_QT_WIN_ARCHIVE:-$root/../shared/qt-win/$name}
    local cache=${RZL_QT_WIN_CACHE:-$HOME/.cache/rzl-ctrl/qt-win}
    local expected=${RZL_QT_WIN_SHA256:-$(cut -d' ' -f1 "$root/scripts/windows/qt-archive.sha256")}
    qt=$cache/qt6-mingw
    qt_missing=""
    if [[ -f $archive ]]; then
        local sum
        sum=$(sha256sum "$archive" | cut -d' ' -f1)
        if [[ $sum != "$expected" ]]; then
            echo "qt-for-windows: $archive has SHA-256 $sum, not $expected (scripts/windows/qt-archive.sha256)" >&2
            return 2
        fi
        if [[ $(cat "$qt/.archive-sha256" 2>/dev/null) != "$sum" ]]; then
            echo "qt-for-windows: unpacking $archive into $cache"
            rm -rf "$qt" "$cache/unpacking"
            mkdir -p "$cache/unpacking"
            tar -xJf "$archive" -C "$cache/unpacking"
            mv "$cache/unpacking/qt6-mingw" "$qt"
            rmdir "$cache/unpacking"
            echo "$sum" >"$qt/.archive-sha256"
        fi
    fi
    if [[ ! -f $qt/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake ]]; then
        qt_missing="no Qt for Windows: neither the archive $archive nor a Qt in $qt (RZL_QT_WIN_ARCHIVE, RZL_QT_WIN_CACHE; scripts/windows/build-qt.sh builds one)"
        return 1
    fi
}

#!/usr/bin/env bash
# Puts the licence texts of what the Windows zip holds into a folder:
#   scripts/windows/gather-licenses.sh OUTDIR
# rZL-Ctrl's own (Apache-2.0), Qt's (LGPL-3.0 with the GPL-3.0 it builds on, Debian's record
# of every part of Qt's source and its licence, and where that source is), MinGW's runtime
# libraries' (GCC's runtime under the GPL-3.0 with its Runtime Library Exception, winpthreads)
# and the fonts' (Tahoma from Wine: LGPL-2.1; Carlito: SIL Open Font License 1.1). The texts
# come from the Debian packages the zip's files come from.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:?usage: gather-licenses.sh OUTDIR}
licenses=/usr/share/common-licenses
doc=/usr/share/doc
mkdir -p "$out/Qt" "$out/MinGW-runtime" "$out/fonts"
take() {  # take SOURCE TARGET: a text that must be there
    [[ -f $1 ]] || { echo "gather-licenses: $1 is missing (its Debian package is not installed)" >&2; exit 1; }
    cp "$1" "$2"
}
take "$root/LICENSE" "$out/rZL-Ctrl-Apache-2.0.txt"
take "$licenses/LGPL-3" "$out/Qt/LGPL-3.0.txt"
take "$licenses/GPL-3" "$out/Qt/GPL-3.0.txt"
take "$doc/libqt6core6/copyright" "$out/Qt/copyright-qt6-base.txt"
take "$root/packaging/windows/qt-source.txt" "$out/Qt/SOURCE.txt"
take "$doc/gcc-mingw-w64-base/copyright" "$out/MinGW-runtime/copyright-gcc-libgcc-libstdc++.txt"
take "$doc/mingw-w64-common/copyright" "$out/MinGW-runtime/copyright-mingw-w64-winpthreads.txt"
take "$licenses/GPL-3" "$out/MinGW-runtime/GPL-3.0.txt"
take "$doc/fonts-wine/copyright" "$out/fonts/copyright-tahoma-wine.txt"
take "$licenses/LGPL-2.1" "$out/fonts/LGPL-2.1.txt"
take "$doc/fonts-crosextra-carlito/copyright" "$out/fonts/copyright-carlito-OFL-1.1.txt"

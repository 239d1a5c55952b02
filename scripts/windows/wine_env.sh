# Sourced by the Windows test scripts: Wine, in a fresh prefix of their own.
#   find_wine               sets wine (the 64-bit loader) and wineserver; 1 when there is none
#   wine_fresh_prefix DIR   makes a prefix in DIR (seconds: no Mono, no Gecko, no menu entries)
#   wine_in_console LOG PROGRAM [ARGS...]
#                           runs a Windows program with standard input on a terminal, as when
#                           started in a console window, so that Wine gives it a console; what it
#                           writes to standard output and error goes to LOG; its exit code
#   wine_stop               ends the prefix's Wine server
find_wine() {
    wine=""
    local candidate
    for candidate in /usr/lib/wine/wine64 wine64 wine; do
        if command -v "$candidate" >/dev/null; then
            wine=$(command -v "$candidate")
            break
        fi
    done
    [[ -n $wine ]] || return 1
    wineserver=$(dirname "$wine")/wineserver
    [[ -x $wineserver ]] || wineserver=$(command -v wineserver || true)
}

wine_fresh_prefix() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEARCH=win64
    export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
    # Wine speaks to the terminal and names Unix files in UTF-8.
    export LC_ALL=C.UTF-8
    "$wine" cmd /c exit >/dev/null 2>&1 || true
}

wine_in_console() {
    local log=$1
    shift
    script -qec "$(printf '%q ' "$wine" "$@") >$(printf '%q' "$log") 2>&1" /dev/null </dev/null >/dev/null
}

wine_stop() {
    [[ -n ${wineserver:-} && -n ${WINEPREFIX:-} ]] && "$wineserver" -k 2>/dev/null
    return 0
}

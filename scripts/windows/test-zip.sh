#!/usr/bin/env bash
# Builds the Windows zip (scripts/windows/build-program.sh, against the prebuilt Qt for MinGW-w64)
# and checks it as users get it, unpacked, under Wine in a fresh prefix:
#   - every DLL a program or library of the zip imports is in the zip or one Windows brings
#     (system-dlls.txt), and every DLL of the zip is imported; no wlanapi.dll among the imports;
#   - rzl-ctrl.exe is a program with windows (GUI subsystem), rzlctl.exe and rzl-sim.exe console
#     programs; each has its icon, its version information and the manifest (UTF-8 code page,
#     long paths); no link time in them, and the same folder zips to the same bytes;
#   - rzlctl.exe --json identify and status against the Linux rzl-sim with the location
#     "Büro 3": standard output is UTF-8 JSON holding it; on a console the text shows as such;
#   - rzlctl.exe without Native Wi-Fi's library starts and finds no Wi-Fi service;
#   - the Linux rzlctl against rzl-sim.exe, whose state file (a name outside ASCII) is written
#     when Ctrl+C ends it;
#   - rzlctl.exe restore from a file named "settings-Łódź.json" beside a "settings-Lodz.json";
#   - rzl-ctrl.exe --demo --screenshot under Xvfb, the same picture as the Linux program's but
#     for the fonts' rendering.
# Skips (exit 77, saying why) where the cross compiler, Wine or Qt for Windows cannot be had
# (scripts/windows/qt_for_windows.sh); never builds Qt.
# Build folder: build-windows (or $RZL_WINDOWS_BUILD_DIR); the Linux programs come from build
# (or $RZL_BUILD_DIR), built first when missing.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${RZL_WINDOWS_BUILD_DIR:-$root/build-windows}
linux_build=${RZL_BUILD_DIR:-$root/build}
start=$SECONDS
say() { echo "test-zip: $*"; }
skip() {
    say "skipped: $*"
    exit 77
}

"$root/scripts/install-deps.sh" run windows || say "the cross compiler and Wine could not be installed" >&2
command -v x86_64-w64-mingw32-g++-posix >/dev/null || skip "no MinGW-w64 cross compiler (g++-mingw-w64-x86-64)"
# shellcheck source=wine_env.sh
source "$root/scripts/windows/wine_env.sh"
find_wine || skip "no Wine (wine64)"
for tool in script xvfb-run python3; do
    command -v "$tool" >/dev/null || skip "no $tool"
done
# shellcheck source=qt_for_windows.sh
source "$root/scripts/windows/qt_for_windows.sh"
find_qt_for_windows
case $? in
0) ;;
1) skip "$qt_missing" ;;
*) exit 1 ;;
esac
# shellcheck source=pe_imports.sh
source "$root/scripts/windows/pe_imports.sh"

for program in rzl-sim rzlctl rzl-ctrl packaging/rzl-render-icon; do
    [[ -x $linux_build/$program ]] || { "$root/scripts/build.sh" || exit 1; break; }
done
bash "$root/scripts/windows/build-program.sh" || exit 1
say "built in $((SECONDS - start)) s"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=rzl-ctrl-$version-windows-x64
zip=$build/$name.zip

work=$(mktemp -d)
sims=()
cleanup() {
    local pid
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    wine_stop
    rm -rf "$work"
}
trap cleanup EXIT
failed=0
check() {  # check WHAT COMMAND...: runs the check, says how it went, counts a failure
    local what=$1
    shift
    if "$@"; then
        say "ok: $what"
    else
        say "FAILED: $what"
        failed=1
    fi
}

python3 -m zipfile -e "$zip" "$work/unpacked" || exit 1
z=$work/unpacked/$name

# --- The zip's files --------------------------------------------------------------------------
layout() {
    local top missing=0 file
    top=$(cd "$work/unpacked" && ls -A)
    [[ $top == "$name" ]] || { echo "the zip holds '$top', not the one folder $name"; return 1; }
    for file in rzl-ctrl.exe rzlctl.exe rzl-sim.exe platforms/qwindows.dll fonts/tahoma.ttf \
        fonts/Carlito-Regular.ttf README-windows.txt licenses/rZL-Ctrl-Apache-2.0.txt \
        licenses/Qt/LGPL-3.0.txt licenses/Qt/GPL-3.0.txt licenses/Qt/SOURCE.txt \
        licenses/Qt/copyright-qt6-base.txt licenses/MinGW-runtime/copyright-gcc-libgcc-libstdc++.txt \
        licenses/MinGW-runtime/copyright-mingw-w64-winpthreads.txt licenses/fonts/LGPL-2.1.txt \
        licenses/fonts/copyright-carlito-OFL-1.1.txt; do
        [[ -s $z/$file ]] || { echo "missing: $file"; missing=1; }
    done
    [[ ! -e $z/styles ]] || { echo "a style plugin, though the program draws with Fusion"; missing=1; }
    return "$missing"
}
check "the zip holds $name/ with the programs, the plugin, the fonts, README-windows.txt and the licences" layout

imports() {
    local bad=0 file dll
    local -A imported=()
    for file in "$z"/*.exe "$z"/*.dll "$z"/platforms/*.dll; do
        while read -r dll; do
            imported[$dll]=1
            if [[ $dll == wlanapi.dll ]]; then
                echo "${file#"$z"/} imports wlanapi.dll: it would not start where Windows lacks it"
                bad=1
            elif ! is_system_dll "$dll" && [[ -z $(find "$z" -maxdepth 1 -iname "$dll") ]]; then
                echo "${file#"$z"/} imports $dll, which is neither in the zip nor one Windows brings"
                bad=1
            fi
        done < <(pe_imports "$file")
    done
    for file in "$z"/*.dll; do
        dll=$(basename "$file" | tr '[:upper:]' '[:lower:]')
        [[ -n ${imported[$dll]:-} ]] || { echo "$dll is in the zip but nothing imports it"; bad=1; }
    done
    return "$bad"
}
check "every DLL imported is in the zip or Windows' own, every DLL in the zip is imported" imports

subsystem() {  # subsystem FILE NUMBER NAME
    local found
    found=$(x86_64-w64-mingw32-objdump -p "$z/$1" | sed -n 's/^Subsystem[[:space:]]*0*\([0-9]*\).*/\1/p')
    [[ $found == "$2" ]] || { echo "$1: subsystem $found, not $2 ($3)"; return 1; }
}
check "rzl-ctrl.exe is a program with windows" subsystem rzl-ctrl.exe 2 "Windows GUI"
check "rzlctl.exe is a console program" subsystem rzlctl.exe 3 "Windows console"
check "rzl-sim.exe is a console program" subsystem rzl-sim.exe 3 "Windows console"

resources() {  # resources PROGRAM
    local rc bad=0 want
    rc=$(x86_64-w64-mingw32-windres -i "$z/$1.exe" -O rc 2>/dev/null)
    for want in 'RT_GROUP_ICON' 'VERSIONINFO' "VALUE \"ProductVersion\", \"$version\"" \
        "VALUE \"OriginalFilename\", \"$1.exe\"" 'VALUE "FileDescription"' 'RT_MANIFEST' \
        '<activeCodePage xmlns=""http://schemas.microsoft.com/SMI/2019/WindowsSettings"">UTF-8</activeCodePage>' \
        '<longPathAware xmlns=""http://schemas.microsoft.com/SMI/2016/WindowsSettings"">true</longPathAware>'; do
        grep -qF "$want" <<<"$rc" || { echo "$1.exe: no $want in its resources"; bad=1; }
    done
    return "$bad"
}
for program in rzl-ctrl rzlctl rzl-sim; do
    check "$program.exe has its icon, version information and manifest" resources "$program"
done

reproducible() {
    local file stamp sum
    for file in "$z"/*.exe "$z"/*.dll "$z"/platforms/*.dll; do
        stamp=$(x86_64-w64-mingw32-objdump -p "$file" | grep -m1 '^Time/Date')  # the file header's
        [[ $stamp == *" 1970" ]] || { echo "${file#"$z"/} holds a time: $stamp"; return 1; }
    done
    python3 "$root/scripts/windows/make_zip.py" "$build/$name" "$work/again.zip" || return 1
    sum=$(sha256sum "$work/again.zip" | cut -d' ' -f1)
    [[ $sum == "$(cut -d' ' -f1 "$zip.sha256")" ]] || { echo "zipped again: $sum, not as before"; return 1; }
}
check "no time in the programs and libraries; the same folder zips to the same bytes" reproducible

# --- Under Wine -------------------------------------------------------------------------------
wine_fresh_prefix "$work/prefix"
say "Wine prefix ready at $((SECONDS - start)) s"
cd "$work" || exit 1

# start_sim LOG COMMAND...: starts a simulator on a free loopback port, which goes to port.
start_sim() {
    local log=$1
    shift
    "$@" --listen 127.0.0.1:0 >"$log" 2>&1 &
    sims+=($!)
    port=""
    for _ in $(seq 1 200); do
        port=$(sed -n 's/^rzl-sim listening on 127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' "$log")
        [[ -n $port ]] && return 0
        kill -0 "${sims[-1]}" 2>/dev/null || break
        sleep 0.05
    done
    echo "the simulator did not start:"
    cat "$log"
    return 1
}
# json_field FILE PATH: a field of the JSON object in FILE, which must be UTF-8.
json_field() {
    python3 - "$1" "$2" <<'PY'
import json, sys
text = open(sys.argv[1], "rb").read().decode("utf-8")  # strict: anything else is no UTF-8
value = json.loads(text)
for key in sys.argv[2].split("."):
    value = value[key]
print(value)
PY
}

location="Büro 3"
printf '{"location": "%s"}\n' "$location" >linux-sim-state.json
start_sim linux-sim.log "$linux_build/rzl-sim" --state linux-sim-state.json || exit 1
linux_port=$port
to_linux_sim=(--no-link-check --device "127.0.0.1:$linux_port")

# Copies without their resources, so without the manifest's UTF-8 code page (which Windows 10
# before 1903 ignores, and under which even the ANSI calls would pass here): the programs must
# write UTF-8, read their arguments and open their files by themselves.
for program in rzlctl rzl-ctrl; do
    SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-objcopy --remove-section .rsrc "$z/$program.exe" \
        "$z/$program-without-manifest.exe"
done

json_results() {  # json_results PROGRAM
    local command
    for command in identify status; do
        "$wine" "$z/$1" --json "${to_linux_sim[@]}" "$command" >"$command.json" 2>"$command.err" ||
            { echo "$command: exit $?"; cat "$command.err"; return 1; }
        [[ $(json_field "$command.json" outcome) == done ]] || { cat "$command.json"; return 1; }
    done
    [[ $(json_field identify.json details.settings.location) == "$location" ]] ||
        { echo "the location read: $(json_field identify.json details.settings.location)"; return 1; }
}
check "rzlctl.exe --json identify and status: UTF-8 JSON holding \"$location\"" json_results rzlctl.exe
check "the same without the manifest's UTF-8 code page" json_results rzlctl-without-manifest.exe

console_text() {
    local shown
    # In a console of cmd's, with the code page of a Western European Windows (850), as users
    # start it; what the terminal shows is kept.
    local program="unpacked\\$name\\rzlctl.exe"  # from the current folder, $work
    script -qec "$(printf '%q ' "$wine" cmd /c "chcp 850 >nul & $program ${to_linux_sim[*]} identify")" \
        /dev/null </dev/null >console.log 2>&1
    # Without Wine's escape sequences and the spaces they stand in for.
    shown=$(sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/[[:space:]]//g' console.log)
    grep -qF "Location:${location// /}" <<<"$shown" || { cat -v console.log; return 1; }
}
check "rzlctl.exe identify on a console of code page 850 shows \"$location\"" console_text

without_wlanapi() {
    local code=0
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wlanapi=d" "$wine" "$z/rzlctl.exe" --json --device "127.0.0.1:$linux_port" \
        identify >no-wlan.json 2>no-wlan.err || code=$?
    [[ $code == 4 && $(json_field no-wlan.json outcome) == not-linked ]] &&
        grep -q "no Wi-Fi service" no-wlan.err || { echo "exit $code"; cat no-wlan.json no-wlan.err; return 1; }
}
check "rzlctl.exe starts without wlanapi.dll and finds no Wi-Fi service" without_wlanapi

windows_sim() {
    local state="state-Łódź.json" pid
    start_sim windows-sim.log "$wine" "$z/rzl-sim.exe" --state "$state" || return 1
    pid=${sims[-1]}
    "$linux_build/rzlctl" --no-link-check --device "127.0.0.1:$port" --yes set-do 1 on >/dev/null &&
        "$linux_build/rzlctl" --json --no-link-check --device "127.0.0.1:$port" identify >windows-sim.json ||
        { cat windows-sim.log; return 1; }
    [[ $(json_field windows-sim.json details.do) == 2 ]] || { cat windows-sim.json; return 1; }
    kill -INT "$pid"
    wait "$pid" || { echo "rzl-sim.exe ended with $? after Ctrl+C"; cat windows-sim.log; return 1; }
    [[ $(json_field "$state" doBits) == 2 ]] || { echo "no state file $state after Ctrl+C"; ls; return 1; }
}
check "the Linux rzlctl against rzl-sim.exe; Ctrl+C writes its state file \"state-Łódź.json\"" windows_sim

restore_from_file() {  # restore_from_file PROGRAM LOCATION
    "$linux_build/rzlctl" "${to_linux_sim[@]}" backup backup.json >/dev/null || return 1
    python3 - "$2" <<'PY' || return 1
import json, sys
settings = json.load(open("backup.json", encoding="utf-8"))
for name, location in (("settings-Łódź.json", sys.argv[1]), ("settings-Lodz.json", "the look-alike")):
    settings["location"] = location
    json.dump(settings, open(name, "w", encoding="utf-8"), ensure_ascii=False)
PY
    "$wine" "$z/$1" "${to_linux_sim[@]}" --yes --reboot restore "settings-Łódź.json" >restore.log 2>&1 ||
        { echo "exit $?"; cat restore.log; return 1; }
    "$linux_build/rzlctl" --json "${to_linux_sim[@]}" identify >restored.json || return 1
    [[ $(json_field restored.json details.settings.location) == "$2" ]] ||
        { echo "the module's location: $(json_field restored.json details.settings.location)"; return 1; }
}
check "rzlctl.exe restore from \"settings-Łódź.json\" (not \"settings-Lodz.json\")" \
    restore_from_file rzlctl.exe "Küche 2"
check "the same without the manifest's UTF-8 code page" restore_from_file rzlctl-without-manifest.exe "Küche 3"

QT_QPA_PLATFORM=offscreen "$linux_build/rzl-ctrl" --demo --screenshot linux.png >/dev/null 2>&1
same_picture() {  # same_picture PROGRAM
    local shot="picture-Łódź-$1.png"  # a name its arguments must carry whole
    xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$z/$1" --demo --screenshot "$shot" >picture.log 2>&1 ||
        { echo "exit $?"; cat picture.log; return 1; }
    [[ -s $shot ]] || { echo "no picture $shot"; ls; cat picture.log; return 1; }
    python3 "$root/scripts/windows/compare_pictures.py" "$shot" linux.png 0.5
}
check "rzl-ctrl.exe --demo --screenshot: the Linux program's picture but for the fonts" same_picture rzl-ctrl.exe
check "the same without the manifest's UTF-8 code page" same_picture rzl-ctrl-without-manifest.exe

say "$(du -h "$zip" | cut -f1) $zip"
say "SHA-256 $(cut -d' ' -f1 "$zip.sha256")"
say "done in $((SECONDS - start)) s"
exit "$failed"

#!/usr/bin/env bash
# The Windows build end to end under Wine, against the Linux simulated pedal:
#
#   bash scripts/e2e-windows.sh build build-win
#
# The simulator's pseudo-terminal is linked as the Wine prefix's COM5, so the
# Windows program talks to it through its own serial back-end.
# 1. The command line (korvane.com): list, list --json, backup, restore,
#    read, write, copy, swap, move, a library import and tag.
# 2. The window (korvane.exe) on a virtual display finds the pedal through
#    the device list, reads the 32 presets and shows their titles: pictures
#    at 96 dpi (100 %) and at 192 dpi (Wine's LogPixels; the window opens at
#    200 %).
# 3. The installer installs silently, the installed korvane.com --version
#    answers, the uninstaller removes it all silently.
# Pictures go to $E2E_SHOTS (default: the scratch folder, kept with E2E_KEEP).
set -u
source "$(dirname "$0")/../tests/e2e/common.bash"
linux_build="${1:?usage: $0 LINUX_BUILD WINDOWS_BUILD}"
win_build="$(cd "${2:?usage: $0 LINUX_BUILD WINDOWS_BUILD}" && pwd)"
# The window at 200 % needs more than the usual screen.
if [[ -z "${E2E_OWN_DISPLAY:-}" ]]; then
  E2E_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 2400x1400x24 -noreset" bash "$0" "$@"
fi
e2e_init "$linux_build"
# Windows takes these from the Wine prefix (scratch, like all of it), not
# from the Linux scripts' private home.
unset HOMEDRIVE HOMEPATH USERPROFILE APPDATA LOCALAPPDATA
source "$src/scripts/wine-env.sh"
wine_start "$work/wine" || exit 1
trap 'wine_stop; e2e_cleanup' EXIT
exe="$win_build/korvane.exe"
com="$win_build/korvane.com"
for f in "$exe" "$com"; do [[ -f "$f" ]] || { echo "missing $f (scripts/build-windows.sh builds it)"; exit 1; }; done

# A Windows path for a file of the scratch folder (Wine's Z: is /).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
kv() { (cd "$work" && wine "$com" "$@"); }

start_sim --serial TSV0777K --state "$work/pedal.state" || exit 1
tty="$(cut -f1 "$devices" | head -n1)"
ln -sfn "$tty" "$WINEPREFIX/dosdevices/com5"
# The command line is given the port; the simulator's own list names Linux paths.
export -n KORVANE_DEVICES

# The command line.
kv list --port COM5 >"$work/list.out" 2>"$work/list.err"; status=$?
check "list --port COM5 exits 0" test "$status" -eq 0
check "list prints a header and 32 slots" test "$(tr -d '\r' <"$work/list.out" | grep -cE '^ ?[0-9]+  PC\.')" -eq 32
check "slot 1 is PC.0, 1-A, Lush Chorus" grep -qE '^ 1  PC\.0    1-A  Lush Chorus' "$work/list.out"
kv list --json --port COM5 >"$work/list.json" 2>/dev/null; status=$?
check "list --json exits 0 with slots 1 to 32" python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
sys.exit(0 if [s["slot"] for s in d["slots"]] == list(range(1, 33)) else 1)
' "$work/list.json"

kv backup --port COM5 pedal.bkp >"$work/b.out" 2>"$work/b.err"; status=$?
check "backup exits 0" test "$status" -eq 0
check "the backup holds all presets, 1504 bytes (no text-mode cut)" test "$(stat -c %s "$work/pedal.bkp" 2>/dev/null)" = 1504
kv read --port COM5 5 warm.lop >/dev/null 2>&1; status=$?
check "read 5 into a file exits 0" test "$status" -eq 0
kv write --yes --port COM5 12 warm.lop >/dev/null 2>"$work/w.err"; status=$?
check "write --yes of that file into slot 12 exits 0" test "$status" -eq 0
kv copy --yes --port COM5 3 14 >/dev/null 2>&1; status=$?
check "copy --yes 3 14 exits 0" test "$status" -eq 0
kv swap --yes --port COM5 1 7 >/dev/null 2>&1; status=$?
check "swap --yes 1 7 exits 0" test "$status" -eq 0
kv list --port COM5 >"$work/list2.out" 2>/dev/null
title_of() { tr -d '\r' <"$1" | grep -E "^ ?$2  PC\." | cut -c16-27; }
check "after swap slot 7 holds slot 1's old title" test "$(title_of "$work/list2.out" 7)" = "$(title_of "$work/list.out" 1)"
check "after copy slot 14 holds slot 3's title" test "$(title_of "$work/list2.out" 14)" = "$(title_of "$work/list.out" 3)"
kv move --yes --port COM5 2 30 >/dev/null 2>&1; status=$?
check "move --yes 2 30 exits 0" test "$status" -eq 0
kv restore --yes --port COM5 pedal.bkp >/dev/null 2>"$work/r.err"; status=$?
check "restore --yes of the backup exits 0" test "$status" -eq 0
kv list --port COM5 >"$work/list3.out" 2>/dev/null
check "after restore the pedal lists as before" cmp -s <(tr -d '\r' <"$work/list.out") <(tr -d '\r' <"$work/list3.out")

kv presets export all.tessivar.json --slots 1-32 --port COM5 >/dev/null 2>&1; status=$?
check "presets export exits 0" test "$status" -eq 0
check "the exported JSON has Unix line ends, as the format defines" bash -c "! grep -q $'\r' '$work/all.tessivar.json'"
kv presets import all.tessivar.json >/dev/null 2>"$work/i.err"; status=$?
check "presets import exits 0, 32 imported" bash -c "[ $status -eq 0 ] && grep -qF '32 preset(s) imported, 0 refused.' '$work/i.err'"
kv presets tag "Lush Chorus" live >/dev/null 2>&1; status=$?
check "presets tag exits 0" test "$status" -eq 0
kv presets list --tag live --json >"$work/tagged.json" 2>/dev/null
check "the tagged preset is listed by its tag" grep -q "Lush Chorus" "$work/tagged.json"
kv list --port COM9 >/dev/null 2>&1; status=$?
check "a COM port that is not there: exit 1" test "$status" -eq 1

# The window, at 96 and at 192 dpi.
printf '%s\tBrakwell Tessivar\tTSV0777K\n' '//./COM5' >"$work/devices-win"
export KORVANE_DEVICES
KORVANE_DEVICES="$(winpath "$work/devices-win")"
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
window_at() {   # window_at DPI NAME
  local dpi="$1" name="$2" out="$work/window-$1.out" pid w
  set_dpi "$dpi"
  local asked
  asked=$(count_of "$sim_log" " byte: c4")
  (cd "$work" && exec wine "$exe") >"$out" 2>&1 &
  pid=$!
  pids+=("$pid")
  w="$(timeout 60 xdotool search --sync --onlyvisible --name '^\*?Brakwell - Korvane 2\.5\.1' | head -n1)" || true
  check "$name: the window appears" test -n "$w"
  check "$name: the pedal's 32 presets are read (ReadAll, titles)" \
    eventually -t 60 grep -q "ReadAll (Titles) successful" "$out"
  check "$name: the pedal saw a ReadAll" eventually test "$(count_of "$sim_log" " byte: c4")" -gt "$asked"
  win="$w"
  [[ -n "$w" ]] && wait_still
  local ww wh
  read -r ww wh < <(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
  echo "     window ${ww:-?} x ${wh:-?} at $dpi dpi"
  window_w=${ww:-0}
  shot "$name"
  e2e_stop "$pid"
  [[ -z "$w" ]] || eventually window_gone "$w" || echo "     the window stayed after its program ended"
}
window_at 96 windows-100
w96=$window_w
check "at 96 dpi the window opens at 100 % (1070 wide)" test "$w96" -ge 1070 -a "$w96" -le 1090
window_at 192 windows-192dpi
check "at 192 dpi it opens at 200 %, twice as wide" test "$window_w" -ge $((2 * 1070)) -a "$window_w" -le $((2 * 1090))
set_dpi 96

# The installer, silently in and out.
setup="$(ls "$win_build"/korvane-*-setup.exe 2>/dev/null | head -n1)"
check "the installer was built" test -f "$setup"
if [[ -f "$setup" ]]; then
  wine "$setup" /S >/dev/null 2>&1; status=$?
  installed="$WINEPREFIX/drive_c/Program Files/Korvane"
  check "silent install exits 0" test "$status" -eq 0
  check "korvane.exe, korvane.com, img and bin installed" \
    test -f "$installed/korvane.exe" -a -f "$installed/korvane.com" -a -d "$installed/img" -a -d "$installed/bin"
  check "the Start-menu shortcut is there" test -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Korvane.lnk"
  wine "C:\\Program Files\\Korvane\\korvane.com" --version >"$work/version.out" 2>&1
  check "the installed program says its version" grep -q "korvane 2.5.1" "$work/version.out"
  wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' /v Path >"$work/path.out" 2>&1
  check "the installation folder is on the PATH" grep -qi 'Program Files\\Korvane' "$work/path.out"
  wine "C:\\Program Files\\Korvane\\uninstall.exe" /S >/dev/null 2>&1
  # The uninstaller copies itself and returns before that copy has finished.
  check "silent uninstall removes the folder" eventually -t 30 test ! -e "$installed"
  wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' /v Path >"$work/path.out" 2>&1
  check "and takes the folder off the PATH" bash -c "! grep -qi 'Program Files\\\\Korvane' '$work/path.out'"
fi

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

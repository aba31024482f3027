#!/usr/bin/env bash
# The edit's safety nets in the real program against the simulated pedal on a
# pseudo-terminal, driven with xdotool under X:
#   1. the S switch of the selected slot is an edit: the row's "PC.0 *" mark
#      and the caption beside "Save preset in pedal" appear (screenshot);
#      Ctrl+Z undoes it and both go;
#   2. the switch again, then another slot: "Discard the changes to ...?"
#      (Cancel keeps the slot), then Quit asks the same;
#   3. a right click on slot 2's row, "Copy to" > "Preset 5": asked, stored,
#      and `korvane list` shows slot 5 holding slot 2's preset;
#   4. `korvane swap --yes 1 5` leaves a safety backup in autobackup/.
# Usage: edit_safety.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

# Window coordinates: the preset pages start at 5, 135; row k of page 1 at
# 135 + 28 + 25 k; the S switch 240 pixels in; program labels at 9.
row_y() { echo $((135 + 28 + 25 * $1 + 12)); }
s_x=262
label_x=28
quit_x=1040; quit_y=614

# The question window (fl_choice) above the main window: "Cancel" is its
# rightmost button, the default action left of it.
dialog_button() {   # dialog_button cancel|action
  local id geo w h
  for _ in $(seq 1 50); do
    id="$(xdotool search --onlyvisible --class '^korvane$' 2>/dev/null | grep -v "^$win\$" | tail -n1)"
    [[ -n "$id" ]] && break
    sleep 0.1
  done
  [[ -n "$id" ]] || { echo "     no question window"; return 1; }
  eval "$(xdotool getwindowgeometry --shell "$id")"
  w="$WIDTH"; h="$HEIGHT"
  if [[ "$1" == cancel ]]; then
    xdotool mousemove --window "$id" $((w - 43)) $((h - 23)) click 1
  else
    xdotool mousemove --window "$id" $((w - 130)) $((h - 23)) click 1
  fi
}

# The caption is drawn in RGB 160, 0, 0 from window x 545 on the line y 520.
# caption_shown PNG yes|no
caption_shown() {
  local X Y
  eval "$(xdotool getwindowgeometry --shell "$win")"
  python3 - "$1" "$2" "$((X + 545))" "$((Y + 508))" <<'PY'
import subprocess, sys
png, want, x, y = sys.argv[1:5]
out = subprocess.run(["convert", png, "-crop", f"120x14+{x}+{y}", "-depth", "8", "txt:-"],
                     capture_output=True, text=True).stdout
drawn = "(160,0,0)" in out.replace(" ", "")
sys.exit(0 if drawn == (want == "yes") else 1)
PY
}
state="$work/state.bin"

start_sim --state "$state" || exit 1
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful" 1
settle 1
shot safety-start
check "nothing is marked after start-up" caption_shown "$shots/safety-start.png" no

echo "# an edit, marked, undone"
click "$s_x" "$(row_y 0)"
settle 1
shot safety-edited
check "the edit is marked beside 'Save preset in pedal'" caption_shown "$shots/safety-edited.png" yes
xdotool key ctrl+z
settle 1
shot safety-undone
check "Ctrl+Z takes the edit and its mark away" caption_shown "$shots/safety-undone.png" no

echo "# a DEPTH drag on the Dashboard, compared with the stored preset, then undone"
cores_before="$(count_of "$sim_log" "Change Core")"
xdotool mousemove --window "$win" 930 163 mousedown 1
xdotool mousemove --window "$win" 980 163
xdotool mousemove --window "$win" 1030 163 mouseup 1
settle 1
check "the drag is heard once, on release" test "$(count_of "$sim_log" "Change Core")" -eq $((cores_before + 1))
click 713 544
settle 1
shot safety-compare
check "Compare plays the stored preset (two Change Core around the programs)" \
  test "$(count_of "$sim_log" "Change Core")" -eq $((cores_before + 3))
click 713 544
settle 1
check "Compare off plays the edit again" test "$(count_of "$sim_log" "Change Core")" -eq $((cores_before + 5))
check "nothing was stored" test "$(count_of "$sim_log" "Store preset")" -eq 0
shot safety-compare-off
check "the edit is still marked" caption_shown "$shots/safety-compare-off.png" yes
# The slider has the focus (a click on it, itself an edit when the knob
# moves): the window still takes Ctrl+Z first, once for each step.
xdotool mousemove --window "$win" 1030 163 click 1
settle 0.5
for _ in 1 2; do
  xdotool key ctrl+z
  settle 1
  shot safety-drag-undone
  caption_shown "$shots/safety-drag-undone.png" no && break
done
check "Ctrl+Z over the Dashboard undoes the drag" caption_shown "$shots/safety-drag-undone.png" no

echo "# another slot and Quit ask first"
click "$s_x" "$(row_y 0)"
settle 0.5
reads_before="$(count_of "$sim_log" "Read preset")"
click 80 "$(row_y 3)"
settle 1
shot safety-discard-question
check "a question window opened" wait_windows 2
check "Cancel" dialog_button cancel
settle 1
check "Cancel keeps the slot: nothing was read" test "$(count_of "$sim_log" "Read preset")" -eq "$reads_before"
click "$quit_x" "$quit_y"
check "Quit asks too" wait_windows 2
shot safety-quit-question
check "Cancel" dialog_button cancel
settle 1
check "the program still runs" kill -0 "$app_pid"
click 700 600
xdotool key ctrl+z
settle 1

echo "# copy slot 2 over slot 5 from the row's menu"
click "$label_x" "$(row_y 1)" 3
settle 1
shot safety-row-menu
# "Copy to" is the first item; its submenu lists Preset 1, 3, 4, 5, ...
xdotool key Down Right Down Down Down Return
settle 1
shot safety-copy-question
check "the copy is asked about" dialog_button action
wait_text "$app_out" "Read parameters & title successful" 2
settle 1
shot safety-copied
stop_app

list="$work/list.txt"
"$korvane" list >"$list" 2>"$work/list.err"
slot2="$(sed -n '3p' "$list" | cut -c18-31)"
slot5="$(sed -n '6p' "$list" | cut -c18-31)"
check "slot 5 holds slot 2's preset ($slot2)" test "$slot2" == "$slot5"

echo "# swap from the command line leaves a safety backup"
check "korvane swap --yes 1 5" "$korvane" swap --yes 1 5
check "one safety backup in autobackup/" \
  test "$(ls "$HOMEDRIVE"/Brakwell/Korvane/presets/autobackup/Tessivar_AutoBackup_*.bkp | wc -l)" -eq 1
check "it holds the 1504 bytes of a backup" \
  test "$(stat -c %s "$HOMEDRIVE"/Brakwell/Korvane/presets/autobackup/Tessivar_AutoBackup_*.bkp)" -eq 1504

echo "$failures failure(s)"
[[ "$failures" -eq 0 ]]

#!/usr/bin/env bash
# The window from the keyboard and on the desktop, against the simulated pedal:
#   1. the window's class, icons and title as docks and task bars see them;
#   2. Tab and Shift+Tab move a visible focus in the layout's order;
#   3. with a knob holding the focus: Ctrl+Minus / Ctrl+Plus / Ctrl+0 zoom, Ctrl+D Compare,
#      Ctrl+S WRITE, Ctrl+R Connect, F10 Menu all work;
#   4. Up/Down on the preset list load the next and previous slot, asking
#      first when the edit is not saved.
# Usage: keyboard.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"
unset KORVANE_ZOOM GDK_SCALE

speed_slider_x=391   # DSP-Y SPEED knob: 390, 155, 140 x 17 (left edge of its frame)
speed_slider_y=163
speed_field_x=528    # its typed value beside it
speed_field_y=180
depth_slider_x=546   # DSP-Y DEPTH knob, next in reading order
depth_slider_y=163

start_sim --serial TSV0777K || exit 1
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful" || exit 1

# --- 1. the desktop's view ---------------------------------------------------------
echo "# class, icons, title"
props="$(xprop -id "$win" WM_CLASS 2>/dev/null)"
check "WM_CLASS is korvane / Korvane ($props)" grep -q 'WM_CLASS(STRING) = "korvane", "Korvane"' <<<"$props"
icons="$(xprop -len 10000000 -id "$win" _NET_WM_ICON 2>/dev/null | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')"
check "the window carries the three icon sizes ($icons)" \
  test "$icons" = "Icon (48 x 48) Icon (128 x 128) Icon (256 x 256) "
check "the menu entry's StartupWMClass is the window's class" grep -qx 'StartupWMClass=Korvane' "$src/packaging/korvane.desktop"
title="$(xdotool getwindowname "$win")"
check "title names the pedal ($title)" test "$title" = "Brakwell - Korvane 2.5.1 - TSV0777K"

# A knob has no text of its own: resting the pointer on it shows what it does.
# differs_by BEFORE AFTER N: the pictures differ in more than N pixels.
differs_by() { test "$(compare -metric AE -fuzz 5% "$1" "$2" null: 2>&1)" -gt "$3"; }
# shows_more_than BEFORE NOW N: takes the screen as NOW; it differs from BEFORE in more than N pixels.
shows_more_than() { import -window root "$2" && differs_by "$1" "$2" "$3"; }
xdotool mousemove --window "$win" 700 300
wait_still
import -window root "$work/no-tip.png"
xdotool mousemove --window "$win" 460 163
check "a tooltip appears over the SPEED knob" eventually shows_more_than "$work/no-tip.png" "$work/tip.png" 2000
shot knob-tooltip
xdotool mousemove --window "$win" 700 300

# --- 2. Tab order and a visible focus ------------------------------------------------
echo "# Tab"
yellow() {   # yellow PNG X Y: the pixel is the accent colour of a keyboard focus
  read -r r g b <<<"$(pixel "$1" "$2" "$3")"
  [[ "$r" -gt 200 && "$g" -gt 160 && "$b" -lt 60 ]]
}
# shows_yellow PNG X Y: takes the window as PNG; its pixel is the focus colour.
shows_yellow() { import -window "$win" "$1" && yellow "$@"; }
click "$speed_field_x" "$speed_field_y"
xdotool key Tab
check "Tab from the SPEED field frames the DEPTH knob" eventually shows_yellow "$work/t1.png" "$depth_slider_x" "$depth_slider_y"
xdotool key shift+Tab shift+Tab
check "Shift+Tab twice frames the SPEED knob" eventually shows_yellow "$work/t2.png" "$speed_slider_x" "$speed_slider_y"
not_yellow() { ! yellow "$@"; }
check "and the DEPTH knob's frame is gone" not_yellow "$work/t2.png" "$depth_slider_x" "$depth_slider_y"
shot keyboard-knob-focus
# Tab order: every stop moves the changed pixels on, and one round visits
# the Dashboard, the Save controls, the bottom buttons and the preset list in
# this order before it comes back.
# Each step waits (briefly: some stops draw no frame) for the picture to change.
xdotool mousemove --window "$win" 700 300
wait_still
before="$work/r0.png"
import -window "$win" "$before"
regions=()
window_differs() { import -window "$win" "$2" && test "$(compare -metric AE "$1" "$2" null: 2>&1)" != 0; }
for i in $(seq 1 50); do
  xdotool key Tab
  now="$work/r$i.png"
  eventually -t 2 window_differs "$before" "$now" || import -window "$win" "$now"
  box="$(convert "$before" "$now" -compose difference -composite -threshold 1% -format '%@' info: 2>/dev/null)"
  regions+=("$box")
  before="$now"
done
# The region where the focus arrived: the part of the change that is new
# compared with the previous step is not separable, so the box's far end
# (right or bottom) stands for it; coarse zones suffice for the order.
zones=""
for box in "${regions[@]}"; do
  read -r w h x y <<<"$(sed -E 's/([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)/\1 \2 \3 \4/' <<<"$box")"
  [[ -z "${w:-}" || "$w" -eq 0 ]] && { zones+="-"; continue; }
  cx=$((x + w / 2)); cy=$((y + h / 2))
  if ((cx < 370)); then zones+="L"       # preset list
  elif ((cy < 515)); then zones+="D"     # Dashboard
  elif ((cy < 598)); then zones+="S"     # Save controls
  else zones+="B"; fi                    # Connect, Menu, Quit
done
echo "     focus zones over 50 Tabs: $zones"
order="$(sed -E 's/-//g; s/(.)\1+/\1/g' <<<"$zones")"
# The round starts on the SPEED knob: Dashboard, Save controls, bottom
# buttons, preset list and the Dashboard again.
check "Tab goes Dashboard, Save controls, bottom buttons, preset list, Dashboard ($order)" \
  grep -q '^DSBLD' <<<"$order"

# --- 3. shortcuts while a knob has the focus -------------------------------------------
echo "# shortcuts with the SPEED knob focused"
refocus_knob() { click "$speed_field_x" "$speed_field_y"; xdotool key shift+Tab; }
size() { eval "$(xdotool getwindowgeometry --shell "$win")"; echo "${WIDTH}x${HEIGHT}"; }
size_is() { test "$(size)" = "$1"; }
# (A 1280 x 800 screen shows the window whole up to 100 %: Ctrl+Plus stops there.)
refocus_knob
xdotool key ctrl+minus ctrl+minus
eventually size_is 535x325
check "Ctrl+Minus twice zooms to 50 % ($(size))" size_is 535x325
xdotool key ctrl+plus
eventually size_is 803x488
check "Ctrl+Plus zooms to 75 % ($(size))" size_is 803x488
xdotool key ctrl+0
eventually size_is 1070x650
check "Ctrl+0 back to 100 % ($(size))" size_is 1070x650
wait_still

refocus_knob
gets="$(count_of "$app_out" "Get Pedal State successful")"
xdotool key ctrl+r
check "Ctrl+R connects again" wait_text "$app_out" "Get Pedal State successful" $((gets + 1))
wait_text "$app_out" "Read parameters & title successful" 2 >/dev/null
wait_still

refocus_knob
xdotool mousemove --window "$win" 930 560
wait_still
import -window root "$work/no-menu.png"
xdotool key F10
check "F10 opens the main menu under the pointer" eventually shows_more_than "$work/no-menu.png" "$work/menu.png" 5000
shot keyboard-f10-menu
xdotool key Escape
menu_closed() { ! menu_shown; }
eventually menu_closed

# An edit, then Compare and WRITE from the keyboard.
refocus_knob
xdotool key Right Right Right
click "$speed_field_x" "$speed_field_y"; xdotool key shift+Tab
title_is() { xdotool getwindowname "$win" | grep -q "$1"; }
check "the title shows the unsaved mark" eventually title_is '^\*Brakwell - Korvane 2.5.1 - TSV0777K$'
wait_still
import -window "$win" "$work/before-compare.png"
xdotool key ctrl+d
compare_changed() {
  import -window "$win" "$work/compare.png" &&
    test "$(compare -metric AE -extract 80x28+673+530 "$work/before-compare.png" "$work/compare.png" null: 2>&1)" != 0
}
check "Ctrl+D switches Compare on (the button changed)" eventually compare_changed
changes xdotool key ctrl+d
stores="$(count_of "$sim_log" "Store preset ")"
refocus_knob
xdotool key ctrl+s
check "Ctrl+S stores the edit" wait_text "$sim_log" "Store preset " $((stores + 1))
check "the unsaved mark is gone after WRITE" eventually title_is '^Brakwell - Korvane 2.5.1 - TSV0777K$'

# --- 4. Up/Down on the preset list ---------------------------------------------------
echo "# Up/Down on the preset list"
reads="$(count_of "$app_out" "Read parameters & title successful")"
click 85 175   # PC.0's bank button: selected already, so only the focus goes there
wait_still
xdotool key Down
check "Down loads slot 1" wait_text "$app_out" "Read parameters & title successful" $((reads + 1))
wait_still
xdotool key Down
check "Down again loads slot 2" wait_text "$app_out" "Read parameters & title successful" $((reads + 2))
wait_still
xdotool key Up
check "Up loads slot 1 again" wait_text "$app_out" "Read parameters & title successful" $((reads + 3))
wait_still
shot keyboard-list
# Unsaved: the question comes first, and Cancel keeps the slot.
click "$speed_field_x" "$speed_field_y"
xdotool key ctrl+a; xdotool type "77"; xdotool key Return
eventually title_is '^\*Brakwell'
click 85 200   # slot 1's bank button, selected: the focus goes there
wait_still
xdotool key Down
check "an unsaved edit asks before Down loads another slot" wait_windows 2
shot keyboard-unsaved-question
xdotool key Escape
one_window() { test "$(window_count)" -le 1; }
eventually one_window
wait_still
check "Cancel keeps the slot (nothing read)" test "$(count_of "$app_out" "Read parameters & title successful")" -eq $((reads + 3))

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"

#!/usr/bin/env bash
# Pedal maintenance in the window, driven with xdotool under X against the
# simulated pedal on a pseudo-terminal:
#   1. a pedal in update mode at start-up: the update panel, Cancel leaves
#      update mode, then Connect, Menu and Quit work again (the menu by keys);
#   2. again in update mode: Browse through the file chooser, Update Now, the
#      pages, Set Version and the presets read back;
#   3. the menu's Update Library on the pedal now running normally;
#   4. the menu's Factory Reset.
# Usage: maintenance_gui.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

# The update panel is at 489, 95: Update Now (105, 350), Cancel (250, 350),
# Browse (145, 110) inside it. Menu is right of Connect under the board.
update_x=644; update_y=457
cancel_x=789; cancel_y=457
browse_x=719; browse_y=217
menu_x=990; menu_y=614

"$build/tools/make_firmware_package" "$work/good.fdt" --firmware 2.3.5 --image-bytes 1500 \
  --note "Faster taps" --note "New arp sequences" >/dev/null

# Dismisses the one dialog that is open with Return.
answer() {
  check "$1: the dialog opens" wait_windows 2
  [[ -n "${2:-}" ]] && { wait_still; shot "$2"; }
  dismiss_dialog
}
# Answers the question that is open with its action button, left of
# Cancel (Return would be Cancel there).
proceed() {
  local q w h
  check "$1: the question opens" wait_windows 2
  wait_still
  [[ -n "${2:-}" ]] && shot "$2"
  q="$(xdotool search --onlyvisible --name '^Question$' 2>/dev/null | head -n1)"
  eval "$(xdotool getwindowgeometry --shell "$q" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
  w="${WIDTH:-0}"; h="${HEIGHT:-0}"
  xdotool mousemove --window "$q" $((w - 155)) $((h - 22)) click 1
  [[ -z "$q" ]] || eventually window_gone "$q" || echo "     the question did not close"
}

# --- 1. Cancel ------------------------------------------------------------------
echo "# update mode at start-up, then Cancel"
start_sim --update-mode --firmware 2.4.1 || exit 1
start_app || exit 1
answer "MIDI-cables alert"
shot cancel-1-panel
click "$cancel_x" "$cancel_y"
answer "cancel alert" cancel-2-alert
wait_text "$app_out" "Read parameters & title successful"
wait_still
shot cancel-3-editor
check "console: 'Send One Message' sent" grep -q "'Send One Message' command successful" "$app_out"
check "the pedal saw 0xCF, then Read All" in_order "$sim_log" "'Send One Message'" " byte: c4"
board="$work/board1.txt"
save_board >"$board"
check "board: cancelled, then Ready" in_order "$board" "] :  Firmware update cancelled by user." "] :  Ready."

echo "# the menu works again: Serial Number by keys"
click "$menu_x" "$menu_y"
wait_menu
shot cancel-4-menu
# Headings and separators are skipped: About, three pages, then Serial Number.
xdotool key Down Down Down Down Down Return
answer "serial number message" cancel-5-serial

echo "# Quit works again"
click 1015 614
code=""
for _ in $(seq 1 100); do
  if ! kill -0 "$app_pid" 2>/dev/null; then wait "$app_pid"; code=$?; break; fi
  sleep 0.1
done
check "Quit ends the program with exit code 0" test "$code" = "0"
stop_app
stop_sim

# --- 2. Update Now ---------------------------------------------------------------
echo "# update mode again: Browse, then Update Now"
start_sim --update-mode --firmware 2.2.0 || exit 1
start_app || exit 1
answer "MIDI-cables alert"
click "$browse_x" "$browse_y"
# The system's file chooser is not one of the toolkit's windows; with no
# window manager it opens behind the main window: raise it and give it the
# keyboard, then type the path.
chooser=""
for _ in $(seq 1 100); do
  chooser="$(xdotool search --onlyvisible --name '^Browse Firmware \(\.fdt\)$' 2>/dev/null | head -n1)"
  [[ -n "$chooser" ]] && break
  sleep 0.1
done
check "the file chooser opens with its title" test -n "$chooser"
xdotool windowraise "$chooser"
xdotool windowfocus "$chooser"
xdotool mousemove --window "$chooser" 300 300
# The chooser takes the keys once it is drawn in front.
wait_still
xdotool type --delay 20 "$work/good.fdt"
wait_still
shot update-1-chooser
xdotool key Return
chooser_closed() { test -z "$(xdotool search --onlyvisible --name '^Browse Firmware' 2>/dev/null)"; }
check "the chooser closes" eventually chooser_closed
shot update-2-package
click "$update_x" "$update_y"
# The pedal waits in update mode, where it cannot be backed up: asked first.
proceed "the question about going on without a safety backup" update-3-no-backup
answer "update done message" update-3-done
wait_text "$app_out" "Read parameters & title successful"
wait_still
shot update-4-editor
check "pages 0 to 5, then Set Version 2.3.5" in_order "$sim_log" "c7 00 00" "c7 00 05" "Set Version  3 bytes: c8 23 05"
check "presets converted after the update" in_order "$sim_log" "Set Version" "Store preset"
board="$work/board2.txt"
save_board >"$board"
check "board: package ready, update complete, Ready" \
  in_order "$board" "] :  Firmware package file ready." "] :  Firmware update complete." "] :  Ready."

# --- 3. Update Library from the menu ---------------------------------------------------
echo "# Menu -> Update Library"
click "$menu_x" "$menu_y"
wait_menu
xdotool key Down Down Down Down Down Down Down Down Return
proceed "the question" library-1-question
answer "library updated message" library-2-done
check "all 45 blocks reached the pedal" test "$(grep -c 'Library block .* data' "$sim_log")" -eq 45
board="$work/board3.txt"
save_board >"$board"
check "board: library update successful" grep -q "] :  > Library update successful." "$board"
shot library-3-editor

# --- 4. Factory Reset from the menu ---------------------------------------------------
echo "# Menu -> Factory Reset"
reads="$(count_of "$app_out" "Read parameters & title successful")"
# Return answers the question with Cancel: nothing is backed up or stored.
stores="$(count_of "$sim_log" "Store preset")"
read_alls="$(count_of "$sim_log" " byte: c4")"
click "$menu_x" "$menu_y"
wait_menu
xdotool key Down Down Down Down Down Down Down Return
answer "the question, with Return" reset-0-question
wait_still   # whatever the answer started has shown on the screen
check "Return is Cancel: no preset stored" test "$(count_of "$sim_log" "Store preset")" -eq "$stores"
check "Return is Cancel: no safety backup read the pedal" test "$(count_of "$sim_log" " byte: c4")" -eq "$read_alls"
click "$menu_x" "$menu_y"
wait_menu
xdotool key Down Down Down Down Down Down Down Return
proceed "the question" reset-1-question
answer "restored message" reset-2-done
wait_text "$app_out" "Read parameters & title successful" $((reads + 1))
wait_still
shot reset-3-editor
check "32 presets stored, then the factory globals" in_order "$sim_log" "Store preset 0 parameters" "Store preset 31 Y-Data" "SET_GLOBALS"
board="$work/board4.txt"
save_board >"$board"
check "board: factory reset successful" grep -q "] :  > Factory reset successful." "$board"
check "the presets were read again after the reset" in_order "$sim_log" "SET_GLOBALS" " byte: c4"
stop_app
stop_sim

echo "# screenshots in $shots"
if [[ "$failures" -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"

#!/usr/bin/env bash
# Start-up and Connect of the real program against the simulated pedal on a
# pseudo-terminal, driven with xdotool under X:
#   1. online: console steps, the pedal's requests, the status board, Connect;
#   2. no pedal: "Pedal not found." without a dialog, then the Connect dialog;
#   3. update mode: the update panel and the MIDI-cables alert;
#   4. firmware older than 2.3.0: the alert, then the program ends with code 0.
# Usage: startup.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

connect_x=930   # Connect: board x 375 + 520, 70 x 25 at y 650 - 48
connect_y=614

# --- 1. online -------------------------------------------------------------------
echo "# online start-up against the simulated pedal (firmware 2.5.3)"
start_sim --firmware 2.5.3 --serial TSV0999Z || exit 1
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
wait_still
shot online-startup
# Started from a scratch folder: the artwork must come from beside the binary
# or from the source tree. The maker logo's yellow square and the brushed
# backdrop show it was found.
import -window "$win" "$work/window.png"
read -r r g b <<<"$(pixel "$work/window.png" 958 30)"
check "artwork found: maker logo drawn" test "$r" -gt 200 -a "$g" -gt 150 -a "$b" -lt 80
read -r r g b <<<"$(pixel "$work/window.png" 700 505)"
check "artwork found: backdrop drawn" test "$r" -gt 120 -a "$g" -gt 120 -a "$b" -gt 120
# The picture for the README: the whole window right after start-up.
if [[ -n "${E2E_README_SHOT:-}" ]]; then
  import -window "$win" "$E2E_README_SHOT" && echo "     window picture $E2E_README_SHOT"
fi

check "console: Get Pedal State, Read All, Read preset 0 in order" \
  in_order "$app_out" "Get Pedal State successful" "ReadAll (Titles) successful" "Read parameters & title successful"
check "pedal saw 0xC0, 0xC4, 0x00 in order" \
  in_order "$sim_log" " byte: c0" " byte: c4" " byte: 00"

board="$work/board1.txt"
save_board >"$board"
check "status board saved to the desktop" test -s "$board"
check "board: Connecting, Initialization OK with the pedal's version, Ready" \
  in_order "$board" "] :  Connecting ..." "] :  Initialization OK - Firmware 2.5.3." "] :  Ready."
check "board: one Initialization line" test "$(count_of "$board" "Initialization OK")" -eq 1
check "no dialog at start-up" test "$(window_count)" -eq 1

echo "# Connect"
click "$connect_x" "$connect_y"
wait_text "$app_out" "Read parameters & title successful" 2
wait_still
shot online-connect
board="$work/board2.txt"
save_board >"$board"
check "board after Connect: three new lines" \
  in_order "$board" "] :  Ready." "] :  Connecting ..." "] :  Initialization OK - Firmware 2.5.3." "] :  Ready."
check "board after Connect: Connecting counted twice in all" test "$(count_of "$board" "Connecting ...")" -eq 2
check "board after Connect: 3 + 3 lines" test "$(wc -l <"$board")" -eq 6
check "console after Connect: a second Read All" test "$(count_of "$app_out" "ReadAll (Titles) successful")" -eq 2
check "no dialog after Connect" test "$(window_count)" -eq 1

stop_app
stop_sim

# --- 2. no pedal -----------------------------------------------------------------
echo "# start-up with no pedal"
start_app || exit 1
wait_text "$app_out" "FT_OpenEx (open by description) FAILED"
wait_still
shot offline-startup
check "no dialog at start-up without a pedal" test "$(window_count)" -eq 1
board="$work/board3.txt"
save_board >"$board"
check "board: Pedal is not found, then what to do" \
  in_order "$board" "] :  Connecting ..." "] :  Pedal is not found." \
  "] :  > Connect your pedal to a USB port then click 'Connect'."
check "console: the bridge could not be opened" grep -q "FT_OpenEx (open by description) FAILED" "$app_out"

echo "# Connect with no pedal"
click "$connect_x" "$connect_y"
check "the 'Pedal is not found -' dialog opens" wait_windows 2
wait_still
shot offline-connect-dialog
xdotool key Return
check "the dialog closes again" eventually one_window
board="$work/board4.txt"
save_board >"$board"
check "board after Connect: three more lines" test "$(wc -l <"$board")" -eq 6
stop_app

# --- 3. update mode --------------------------------------------------------------
echo "# start-up with the pedal in update mode (firmware 2.4.1)"
start_sim --update-mode --firmware 2.4.1 || exit 1
start_app || exit 1
check "the MIDI-cables alert opens" wait_windows 2
wait_still
shot update-mode-alert
xdotool key Return
eventually one_window
wait_still
shot update-mode-panel
check "the alert closes" one_window
check "pedal saw only the state query" test "$(grep -c ' byte: c4' "$sim_log")" -eq 0
check "console: Get Pedal State" grep -q "Get Pedal State successful" "$app_out"
stop_app
stop_sim

# --- 4. firmware too old --------------------------------------------------------------
echo "# start-up with firmware 2.2.9: refused, the program closes"
start_sim --firmware 2.2.9 || exit 1
start_app || exit 1
check "the not-compatible alert opens" wait_windows 2
wait_still
shot too-old-alert
xdotool key Return
code=""
for _ in $(seq 1 100); do
  if ! kill -0 "$app_pid" 2>/dev/null; then wait "$app_pid"; code=$?; break; fi
  sleep 0.1
done
check "the program ends with exit code 0 after the alert" test "$code" = "0"
check "nothing was read from the refused pedal" test "$(grep -c ' byte: c4' "$sim_log")" -eq 0
stop_app
stop_sim

echo "# screenshots in $shots"
if [[ "$failures" -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"

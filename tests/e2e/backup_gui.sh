#!/usr/bin/env bash
# The window's Backup against the simulated pedal, clicked with xdotool:
# Continue writes a new file named by date and time in the presets folder
# (twice in a row: two files, none replaced), and "Save as..." opens the
# file chooser where the user names the file.
# Usage: backup_gui.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"

start_sim || exit 1
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"

# Menu > Backup, then one of
# the question's buttons, placed from the dialog's bottom right corner:
# "Save as..." left, "Continue", "Cancel" right.
backup_and_press() {   # backup_and_press BUTTON_X_FROM_RIGHT SHOT
  local dialog="" geo dx dy dw dh
  click 990 614
  settle 0.8
  # The menu opens under the pointer: its "> Backup" item.
  xdotool mousemove 1033 492
  settle 0.3
  xdotool click 1
  for _ in $(seq 1 100); do
    dialog="$(xdotool search --onlyvisible --class '^korvane$' 2>/dev/null | grep -v "^$win\$" | tail -n1)"
    [[ -n "$dialog" ]] && break
    sleep 0.1
  done
  [[ -n "$dialog" ]] || { echo "     no question"; return 1; }
  settle 0.5
  shot "$2"
  geo="$(xdotool getwindowgeometry "$dialog")"
  dx="$(sed -nE 's/.*Position: ([0-9]+),([0-9]+).*/\1/p' <<<"$geo")"
  dy="$(sed -nE 's/.*Position: ([0-9]+),([0-9]+).*/\2/p' <<<"$geo")"
  dw="$(sed -nE 's/.*Geometry: ([0-9]+)x([0-9]+).*/\1/p' <<<"$geo")"
  dh="$(sed -nE 's/.*Geometry: ([0-9]+)x([0-9]+).*/\2/p' <<<"$geo")"
  xdotool mousemove "$((dx + dw - $1))" "$((dy + dh - 24))" click 1
}
dismiss_message() {   # the "Backup complete" message
  for _ in $(seq 1 100); do
    [[ "$(window_count)" -ge 2 ]] && break
    sleep 0.1
  done
  settle 0.5
  xdotool key Return
  for _ in $(seq 1 100); do [[ "$(window_count)" -le 1 ]] && break; sleep 0.1; done
}
backups() { ls "$presets"/Tessivar_Backup_*.bkp 2>/dev/null | wc -l; }

echo "# Continue, twice"
backup_and_press 132 backup-1-question || exit 1
dismiss_message
check "a backup named by date and time" \
  bash -c "ls '$presets' | grep -qE '^Tessivar_Backup_[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}\.bkp\$'"
backup_and_press 132 backup-2-question || exit 1
dismiss_message
check "a second backup at once: two files" test "$(backups)" -eq 2

echo "# Save as..."
backup_and_press 234 backup-3-question || exit 1
chooser=""
for _ in $(seq 1 100); do
  chooser="$(xdotool search --onlyvisible --name '^Save Backup As$' 2>/dev/null | head -n1)"
  [[ -n "$chooser" ]] && break
  sleep 0.1
done
check "Save as... opens the file chooser" test -n "$chooser"
settle 1
shot backup-4-chooser
# The chooser's name field (top left) holds the suggested name: click into
# it (keys go to the window under the pointer) and replace it with a path.
geo="$(xdotool getwindowgeometry "$chooser")"
cx="$(sed -nE 's/.*Position: ([0-9]+),([0-9]+).*/\1/p' <<<"$geo")"
cy="$(sed -nE 's/.*Position: ([0-9]+),([0-9]+).*/\2/p' <<<"$geo")"
xdotool mousemove "$((cx + 440))" "$((cy + 23))" click 1
settle 0.3
xdotool key ctrl+a
xdotool type --delay 20 "$work/before-the-gig.bkp"
xdotool key Return
dismiss_message
check "the backup went where the chooser said" test "$(stat -c %s "$work/before-the-gig.bkp" 2>/dev/null)" = 1504
check "nothing more in the presets folder" test "$(backups)" -eq 2
check "the pedal was read for each backup" test "$(count_of "$app_out" "ReadAll (Titles) successful")" -ge 4

stop_app
stop_sim
[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"

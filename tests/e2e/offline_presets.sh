#!/usr/bin/env bash
# The offline list in the real program, driven with xdotool under X against
# the simulated pedal: save the edited preset under a typed name, quit, start
# again, pick it from the list and see the simulator play it.
# Usage: offline_presets.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"

# The offline panel is at 775, 530; the prompt at 551, 650 - 383.
plus_x=1006; plus_y=551
list_x=887; list_y=552
name_x=728; name_y=326
save_x=826; save_y=454

start_sim --serial TSV0555Q || exit 1
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
settle 1

echo "# read slot 4 (PC.3) into the editor, then save it as 'My Lead & Co'"
click 85 250
wait_text "$app_out" "Read parameters & title successful" 2
settle 1
click "$plus_x" "$plus_y"
settle 0.5
shot prompt-open
click "$name_x" "$name_y"          # a click clears the hint
settle 0.3
xdotool type --delay 40 "My Lead & Co"
settle 0.3
shot prompt-typed
click "$save_x" "$save_y"
settle 1
shot saved
file="$presets/My Lead n Co.lop"
check "the preset file is written under the cleaned name" test -f "$file"
check "it is the name line plus 48 bytes" test "$(stat -c %s "$file" 2>/dev/null || echo 0)" -eq $((12 + 48))
check "it carries the slot's title" bash -c "[ \"\$(tail -c 12 '$file')\" = 'Vintage Vibe' ]"
check "presets.lst names it" grep -qxF "$file" "$presets/presets.lst"
check "no dialog is left open" test "$(window_count)" -eq 1
stop_app

echo "# start again and pick it"
mark="$(wc -l <"$sim_log")"
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
settle 1
click "$list_x" "$list_y"
settle 0.5
shot list-open
xdotool key Down Return
settle 1.5
shot picked
# What the pedal was sent after the pick: Change Core with the file's
# parameter block (the log shows its first bytes), then both programs.
want="$(tail -c 47 "$file" | head -c 7 | od -An -tx1 | tr -s ' ' | sed 's/^ //;s/ $//')"
check "the simulator got Change Core with the picked preset's block" \
  bash -c "tail -n +$((mark + 1)) '$sim_log' | grep -qF 'Change Core (Preview)  36 bytes: c3 $want'"
check "then the DSP-X and DSP-Y programs" \
  in_order <(tail -n +$((mark + 1)) "$sim_log") "Change Core (Preview)" "Write Data (Preview) DSP-X" \
  "Change Core (Preview)" "Write Data (Preview) DSP-Y"
check "no dialog after the pick" test "$(window_count)" -eq 1
stop_app
stop_sim

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

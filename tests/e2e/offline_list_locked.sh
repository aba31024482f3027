#!/usr/bin/env bash
# A presets.lst the program cannot read (here over its size limit) in the
# real program under X against the simulated pedal: the window says so in a
# dialog at start, and a Save is refused with the reason, the list untouched.
# Usage: offline_list_locked.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"
mkdir -p "$presets"
truncate -s $((64 * 1024 * 1024 + 100)) "$presets/presets.lst"

plus_x=1006; plus_y=551
name_x=728; name_y=326
save_x=826; save_y=454

start_sim --serial TSV0555Q || exit 1
(cd "$work" && exec "$korvane") >"$work/app.out" 2>&1 &
app_pid=$!
pids+=("$app_pid")
check "the reason is on standard error" wait_text "$work/app.out" "presets.lst: larger than the limit"
check "a dialog comes up at start" wait_windows 1
settle 2
shot locked-at-start
xdotool key Return
win="$(timeout 30 xdotool search --sync --name '^\*?Brakwell - Korvane 2\.5\.1( - .*)?$' | head -n1)" || true
check "then the main window" test -n "$win"
wait_text "$work/app.out" "Read parameters & title successful"
settle 1
check "only the main window is left" test "$(window_count)" -eq 1

click "$plus_x" "$plus_y"
settle 0.5
click "$name_x" "$name_y"
settle 0.3
xdotool type --delay 40 "Kept apart"
click "$save_x" "$save_y"
check "the save is refused in a dialog" wait_windows 2
settle 1
shot save-refused
xdotool key Return
settle 0.5
check "no preset file was written" test ! -e "$presets/Kept apart.lop"
check "the list is as it was" test "$(stat -c %s "$presets/presets.lst")" -eq $((64 * 1024 * 1024 + 100))
e2e_stop "$app_pid"
stop_sim

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

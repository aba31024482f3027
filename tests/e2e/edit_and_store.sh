#!/usr/bin/env bash
# An edit and a store in the real program against the simulated pedal: drag
# DSP-X's DEPTH slider with the mouse and let go (one Change Core reaches the
# pedal, carrying the new depth, and none while dragging), then press WRITE:
# the pedal stores slot 1 and the program verifies it; the simulator's memory
# then holds the new depth, read back by `korvane list`'s own connect.
# Usage: edit_and_store.sh BUILD_DIR
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

start_sim --serial TSV0123E --state "$work/pedal.state" || exit 1
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
settle 1

# DSP-X's DEPTH slider: the knob of Lush Chorus's depth (62) sits at about
# x 997 on the row at y 162; drag it right and hold before letting go.
cores_before="$(count_of "$sim_log" "Change Core (Preview)")"
xdotool mousemove --window "$win" 997 162 mousedown 1
for x in 1005 1015 1025 1035; do xdotool mousemove --window "$win" "$x" 162; sleep 0.1; done
settle 0.5
check "nothing is sent while the slider is held" \
  test "$(count_of "$sim_log" "Change Core (Preview)")" -eq "$cores_before"
xdotool mouseup 1
check "one Change Core on release" wait_text "$sim_log" "Change Core (Preview)" $((cores_before + 1))
settle 0.5
check "only one" test "$(count_of "$sim_log" "Change Core (Preview)")" -eq $((cores_before + 1))
check "the link says the change went" wait_text "$app_out" "Change Core (Preview) successful" 1

click 628 544   # WRITE
check "the pedal is asked to store slot 1" wait_text "$sim_log" "Store preset " 1
settle 1
board="$(save_board)"
check "the store was verified" grep -qF "Write (Store) operation successful." <<<"$board"
check "no echo differed" bash -c "! grep -q 'Errors detected' '$app_out'"
import -window "$win" "$shots/after-write.png" 2>/dev/null
stop_app
stop_sim

# The simulator kept its memory in the state file: the stored depth is what
# the slider showed, not the factory 62 (raw 158).
start_sim --serial TSV0123E --state "$work/pedal.state" || exit 1
( unset DISPLAY; "$korvane" read 1 "$work/slot1.lop" >/dev/null 2>"$work/read.err" )
# The file is the name line, then the 35 parameter bytes: DSP-X's depth is byte 7.
depth="$(python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); print(d[d.index(b"\n")+1+7])' "$work/slot1.lop" 2>/dev/null)"
check "the stored depth is the dragged one, above the factory 158 (read back: ${depth:-none})" \
  test "${depth:-0}" -gt 158
stop_sim

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"

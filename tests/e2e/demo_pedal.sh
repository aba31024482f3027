#!/usr/bin/env bash
# A new user with no pedal, in the real program under X with a fresh home:
#   1. the console stays quiet (no USB steps on standard output unless asked);
#   2. "Pedal is not found -" says what helps on Linux, and closes with Escape;
#   3. "Try with a simulated pedal" in the header starts the tessivar-sim
#      beside the program, connects, says "(simulated)" in the title, and the
#      simulated pedal ends with the program (Ctrl+Q);
#   4. `korvane --demo` starts with it, its memory kept from the run before;
#   5. what the new home holds afterwards: no folder of ours that was not
#      written into, nothing of the toolkit's.
# Usage: demo_pedal.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"
unset KORVANE_VERBOSE

connect_x=930; connect_y=614   # Connect: board x 375 + 520, 70 x 25 at y 650 - 48
demo_x=270; demo_y=39          # the header's "Try with a simulated pedal"
state="$XDG_STATE_HOME/korvane"

# The simulator started by the program: a child of it.
sim_child() { pgrep -P "$app_pid" -x tessivar-sim; }
no_sim_child() { [[ -z "$(pgrep -P "$app_pid" -x tessivar-sim)" ]]; }
title_has() { xdotool getwindowname "$win" 2>/dev/null | grep -qF "$1"; }
gone() { ! kill -0 "$1" 2>/dev/null; }

echo "# 1-2. no pedal"
start_app || exit 1
wait_still
shot no-pedal
check "no dialog at start-up" test "$(window_count)" -eq 1
check "no simulated pedal unless asked" no_sim_child
click "$connect_x" "$connect_y"
check "Connect without a pedal opens the not-found dialog" wait_windows 2
wait_still
shot no-pedal-dialog
check "it closes with Escape, and nothing is started" dismiss_dialog Escape
check "still no simulated pedal" no_sim_child
check "console: no USB steps on standard output" test "$(count_of "$app_out" "FT_OpenEx")" -eq 0

echo "# 3. Try with a simulated pedal"
click "$demo_x" "$demo_y"
check "the title says the pedal is simulated" eventually title_has "TSV-DEMO (simulated)"
sim_pid_seen="$(sim_child | head -n1)"
check "tessivar-sim runs as the program's child" test -n "$sim_pid_seen"
check "its memory is kept in \$XDG_STATE_HOME/korvane" \
  grep -qF -- "--state $state/sim-pedal.bin" <(tr '\0' ' ' <"/proc/$sim_pid_seen/cmdline")
wait_still
shot demo-pedal
check "the preset list was read from it" bash -c "xdotool getwindowname $win | grep -q 'Korvane 2.5.1 - TSV-DEMO'"
xdotool key --window "$win" ctrl+q
check "Ctrl+Q ends the program" eventually gone "$app_pid"
check "and the simulated pedal with it" eventually gone "$sim_pid_seen"
check "its devices file is gone" test -z "$(ls "$state"/devices-* 2>/dev/null)"

echo "# 4. korvane --demo"
app_out="$work/demo.out"
(cd "$work" && exec "$korvane" --demo) >"$app_out" 2>&1 &
app_pid=$!
pids+=("$app_pid")
win="$(timeout 30 xdotool search --sync --name 'TSV-DEMO \(simulated\)' | head -n1)" || true
check "korvane --demo opens connected to the simulated pedal" test -n "$win"
[[ -n "$win" ]] && { wait_still; shot demo-start; }
sim_pid_seen="$(sim_child | head -n1)"
stop_app   # a kill, not a Quit: the pedal still goes (the parent-death signal)
check "the simulated pedal ends with the program" eventually gone "$sim_pid_seen"

echo "# 5. the new home"
find "$HOME" -mindepth 1 | sed "s|^$HOME/||" | sort >"$work/home.txt"
sed 's/^/     /' "$work/home.txt"
check "no folder of ours in the documents folder (nothing was saved)" test ! -e "$HOMEDRIVE/Brakwell"
check "no ~/Documents made at start" test ! -e "$HOME/Documents"
check "nothing of the toolkit's (~/.fltk)" test ! -e "$HOME/.fltk"

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"

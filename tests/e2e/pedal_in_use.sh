#!/usr/bin/env bash
# The window and a pedal held by another program: at start-up the board says
# which program has it (and no "Pedal is not found"); once that program has
# let go, Connect finds the pedal. While the window is idle it holds nothing:
# the command line can use the pedal between the window's operations.
# Usage: pedal_in_use.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

connect_x=930   # Connect: board x 375 + 520, 70 x 25 at y 650 - 48
connect_y=614

start_sim --serial TSV0555H || exit 1
tty="$(cut -f1 "$devices" | head -n1)"
check "the simulated pedal is on a terminal" test -c "$tty"

# Another program holds the port the way korvane does (flock); the lock is
# held by flock itself, which ends when it is killed.
flock --exclusive --close "$tty" sleep 120 >/dev/null 2>&1 </dev/null &
holder=$!
pids+=("$holder")
for _ in $(seq 1 50); do grep -q "FLOCK" /proc/locks && break; sleep 0.05; done

start_app || exit 1
wait_text "$app_out" "FT_OpenEx (open by description) FAILED" || true
settle 1
shot pedal-in-use
board="$(save_board)"
check "the board names the program that has the pedal" \
  grep -qF "The pedal is in use by another program (pid $holder)." <<<"$board"
check "and says what to do" grep -qF "> Close the other program, then try again." <<<"$board"
check "it does not say the pedal is missing" bash -c "! grep -qF 'Pedal is not found' <<<\"\$1\"" _ "$board"

# The other program lets go; Connect now finds the pedal.
sleeper="$(pgrep -P "$holder")"
kill "$holder" $sleeper 2>/dev/null
wait "$holder" 2>/dev/null
click "$connect_x" "$connect_y"
wait_text "$app_out" "ReadAll (Titles) successful"
settle 1
shot connected-after-release
check "Connect reads the pedal once it is free" grep -q "Read parameters & title successful" "$app_out"

# The window is idle: it holds nothing, so the command line gets the pedal.
"$korvane" list >"$work/list.out" 2>"$work/list.err"; status=$?
check "the command line can use the pedal while the window is idle" test "$status" -eq 0
check "and lists the slots" test "$(wc -l <"$work/list.out")" -ge 32

stop_app
[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

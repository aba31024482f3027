#!/usr/bin/env bash
# The pedal configuration pages of the real program, clicked with xdotool
# against the simulated pedal keeping its memory in a state file:
#   1. the " Expression " page: mapping check buttons and Slow/Fast pairs
#      preview the block (Change Core) with the edited engine in byte 2;
#   2. " > Global Settings" from the main menu: AUX lists, the favourite list,
#      the exclusive pairs, Confirm, then the pedal's record exactly as
#      expected, kept across a restart of the pedal and of the program;
#   3. " > MIDI Settings": a refused duplicate CC, a new CC and channel,
#      Confirm; Cancel after edits sends nothing.
# Usage: config_gui.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

state="$work/pedal.state"
key() { xdotool key "$@"; }
downs() { local i; for ((i = 0; i < $1; i++)); do xdotool key Down; sleep 0.05; done; }
# The pedal's record in record order, as hex, read with the command line.
pedal_record() { "$korvane" globals save "$work/rec.bin" >/dev/null 2>&1 && od -An -tx1 -v "$work/rec.bin" | tr -d ' \n'; }
# The last Change Core the pedal saw: its first bytes (c3, flags, tap, focus, rotor, ...).
last_change_core() { grep "Change Core" "$sim_log" | tail -n1 | sed -E 's/.*bytes: //'; }
change_cores() { count_of "$sim_log" "Change Core"; }
set_globals_seen() { count_of "$sim_log" "SET_GLOBALS"; }
# Menu, then the n-th entry that can be picked (the headings and dividers
# cannot). " > Global Settings" is the 11th, " > MIDI Settings" the 12th.
open_from_menu() {
  local before
  before="$(count_of "$sim_log" "GET_GLOBALS")"
  screen_to "$work/before-menu.png"
  click 990 614
  wait_menu || return 1
  downs "$1"
  xdotool key Return
  # The panel reads the pedal's settings, then shows them.
  if ! wait_text "$sim_log" "GET_GLOBALS" $((before + 1)); then
    key Escape
    return 1
  fi
  eventually menu_closed
  eventually differs_from "$work/before-menu.png" && wait_still
}
# A choice's list: open it and wait until it shows.
menu_closed() { ! menu_shown; }
choose() {   # choose X Y DOWNS
  click "$1" "$2"; wait_menu; downs "$3"; key Return
}

start_sim --state "$state" || exit 1
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"

# --- 1. the Expression page ----------------------------------------------------------
echo "# the expression editor"
changes click 517 41
n="$(change_cores)"
click 794 210          # DSP-X SPEED mapping check button
wait_text "$sim_log" "Change Core" $((n + 1))
read -r _ _ _ focus rotor _ <<<"$(last_change_core)"
check "DSP-X SPEED mapped: bit 4 of byte 2, edited engine X (got $focus)" test "$((16#${focus:-0} & 0x13))" -eq $((0x10))
click 617 540          # DSP-Y TWEAK "   Fast"
wait_text "$sim_log" "Change Core" $((n + 2))
read -r _ _ _ focus rotor _ <<<"$(last_change_core)"
check "DSP-Y TWEAK fast: bit 5 of byte 3 (got $rotor)" test "$((16#${rotor:-0} & 0x20))" -eq $((0x20))
check "a DSP-Y edit leaves bits 0-1 of byte 2 at 1 (got $focus)" test "$((16#${focus:-0} & 0x03))" -eq 1
shot expression-page

# --- 2. Global Settings ---------------------------------------------------------------
echo "# global settings"
changes click 425 41   # back to the Dashboard
if ! open_from_menu 11; then
  echo "skip - the main menu does not open the settings panels yet"
  [[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }
  exit 0
fi
shot global-settings-open
before="$(pedal_record)"
sets="$(set_globals_seen)"
choose 547 185 4       # TIP: Bank Down -> Favorite
choose 609 289 31      # Fave Preset: 16B
click 782 413          # -6 dB pad
click 782 459          # Tap-Tempo
click 627 504          # Blinking Off
click 782 459          # Tap-Tempo again: already on, stays on
wait_still
shot global-settings-edited
check "nothing is sent before Confirm" test "$(set_globals_seen)" -eq "$sets"
click 647 557          # Confirm
wait_windows 2 && shot global-settings-confirmed
key Return             # the message box
after="$(pedal_record)"
expect="07${before:2:4}ffc0${before:10}"
check "Confirm changed exactly bytes 0, 3 and 4 of the pedal's record" test "$after" = "$expect"
[[ "$after" = "$expect" ]] || echo "     before $before"$'\n'"     after  $after"$'\n'"     expect $expect"

# Cancel after changing things sends nothing.
sets="$(set_globals_seen)"
open_from_menu 11
click 627 413          # 0 dB
click 627 504          # Blinking Off
changes click 802 557          # Cancel
check "Cancel sends nothing" test "$(set_globals_seen)" -eq "$sets"
check "Cancel leaves the pedal's record" test "$(pedal_record)" = "$expect"

# --- 3. MIDI Settings ---------------------------------------------------------------
echo "# MIDI settings"
open_from_menu 12
shot midi-settings-open
click 521 171; key ctrl+a; xdotool type 15; key Return     # DSP-X onto DSP-Y's 15
check "a CC number in use is refused with an alert" wait_windows 2
shot midi-duplicate-alert
key Return
click 521 197; key ctrl+a; xdotool type 77; key Return     # DSP-Y: 77
click 875 483; key ctrl+a; xdotool type 150; key Return    # EXP PEDAL: 150 -> 99
choose 617 615 9                                           # Channel 10
shot midi-settings-edited
click 835 614                                              # Confirm
wait_windows 2
key Return
midi="$(pedal_record)"
m_expect="${expect:0:8}c9${expect:10:2}4d${expect:14:52}63"
check "MIDI Confirm changed the channel, DSP-Y's and EXP PEDAL's CC only" test "$midi" = "$m_expect"
[[ "$midi" = "$m_expect" ]] || echo "     got    $midi"$'\n'"     expect $m_expect"

sets="$(set_globals_seen)"
open_from_menu 12
click 521 223; key ctrl+a; xdotool type 60; key Return
changes click 975 614                                              # Cancel
check "MIDI Cancel sends nothing" test "$(set_globals_seen)" -eq "$sets"

# --- the pedal keeps it ----------------------------------------------------------------
stop_app
stop_sim
start_sim --state "$state" || exit 1
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
check "after restarting pedal and program the record is kept" test "$(pedal_record)" = "$m_expect"
open_from_menu 11
shot global-settings-after-restart
changes click 802 557

# Escape closes the settings panel as Cancel does, and never ends the program.
sets="$(set_globals_seen)"
open_from_menu 11
changes key Escape
check "Escape over Global Settings leaves the program running" kill -0 "$app_pid"
check "Escape sends nothing" test "$(set_globals_seen)" -eq "$sets"
check "after Escape the menu opens the panel again (it was closed)" open_from_menu 12
changes key Escape
check "Escape over MIDI Settings leaves the program running" kill -0 "$app_pid"
check "and the Menu works again" open_from_menu 11
changes click 802 557

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

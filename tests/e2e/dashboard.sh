#!/usr/bin/env bash
# The Dashboard of the real program, clicked and typed at with xdotool under X
# against the simulated pedal: the algorithm menus and their submenus, the
# rotary pair's banner, tips button and rotor bracket moved by
# Control, SWAP, and a typed tempo clamped to its limit.
# Usage: dashboard.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

menu_y=(625 257)   # DSP-Y's algorithm menu (545, 243, 160 x 28)
menu_x=(817 257)   # DSP-X's (737, 243)

# Counts the pixels of a window picture, in a rectangle, whose colour is
# near R G B: count_near FILE X Y W H R G B
count_near() {
  convert "$1" -crop "${4}x${5}+${2}+${3}" -depth 8 txt:- | tail -n +2 |
    sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/' |
    awk -v r="$6" -v g="$7" -v b="$8" '{ d = ($1-r)^2 + ($2-g)^2 + ($3-b)^2; if (d < 40*40) n++ } END { print n + 0 }'
}
# Byte K (0 is the command byte) of the Nth Change Core the pedal received,
# as the simulator logs its first eight bytes: core_byte N K
core_byte() {
  grep -F "Change Core (Preview)" "$sim_log" | sed -n "${1}p" | sed -E 's/.*bytes: //' | awk -v k="$2" '{ print $(k + 1) }'
}
picture() {   # picture NAME: the main window as NAME.png in the shots folder
  import -window "$win" "$shots/$1.png" 2>/dev/null
  echo "     window picture $shots/$1.png"
}
# Takes the picture NAME and compares the count of pixels near a colour in a
# rectangle: shows NAME X Y W H R G B OP N (OP as test's: -gt, -lt). Used as
# `eventually shows ...`: the picture is taken again until the window shows it.
shows() {
  import -window "$win" "$shots/$1.png" 2>/dev/null || return 1
  test "$(count_near "$shots/$1.png" "$2" "$3" "$4" "$5" "$6" "$7" "$8")" "$9" "${10}"
}
# Picks an algorithm with the pointer: the menu's group, then its item. The
# menu is waited for (its submenus open inside the same windows).
pick() {   # pick MENU_X MENU_Y GROUP ITEM (both counted from 0)
  local before id geo gx=99999 gy=0 gw=0 x y w
  before="$(shown_windows)"
  click "$1" "$2"
  for _ in $(seq 1 200); do [[ "$(shown_windows)" -gt "$before" ]] && break; sleep 0.1; done
  # The leftmost of the small shown windows without a name is the top menu
  # (the root window has no name either).
  for _ in $(seq 1 50); do
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
      [[ -z "$(xdotool getwindowname "$id" 2>/dev/null)" ]] || continue
      geo="$(xdotool getwindowgeometry "$id" 2>/dev/null)"
      x="$(sed -nE 's/.*Position: ([0-9]+),([0-9]+).*/\1/p' <<<"$geo")"
      y="$(sed -nE 's/.*Position: ([0-9]+),([0-9]+).*/\2/p' <<<"$geo")"
      w="$(sed -nE 's/.*Geometry: ([0-9]+)x([0-9]+).*/\1/p' <<<"$geo")"
      [[ -n "$x" && -n "$w" && "$w" -gt 50 && "$w" -lt 600 && "$x" -lt "$gx" ]] && { gx=$x; gy=$y; gw=$w; }
    done
    [[ "$gw" -gt 0 ]] && break
    sleep 0.1
  done
  [[ "$gw" -gt 0 ]] || { echo "     no menu window"; return 1; }
  # Rows are 19 pixels: the title, the rule, then each group after a spacer.
  local row=$((gy + 10 + 19 * (2 + 2 * $3)))
  # The group lights up and opens its submenu beside it.
  changes xdotool mousemove "$((gx + 40))" "$row" || return 1
  # Along the group's row into its submenu, whose first item stands there.
  xdotool mousemove "$((gx + gw + 40))" "$row"
  settle 0.3
  xdotool mousemove "$((gx + gw + 40))" "$((row + 19 * $4))"
  settle 0.3
  xdotool click 1
  for _ in $(seq 1 200); do [[ "$(shown_windows)" -le "$before" ]] && break; sleep 0.1; done
  wait_still
}
# Waits until the pointer is over the main window, and gives it the keyboard
# focus (there is no window manager to do either).
pointer_in_window() {
  local geo wx wy ww wh px py
  geo="$(xdotool getwindowgeometry "$win" 2>/dev/null)"
  wx="$(sed -nE 's/.*Position: ([0-9]+),([0-9]+).*/\1/p' <<<"$geo")"
  wy="$(sed -nE 's/.*Position: ([0-9]+),([0-9]+).*/\2/p' <<<"$geo")"
  ww="$(sed -nE 's/.*Geometry: ([0-9]+)x([0-9]+).*/\1/p' <<<"$geo")"
  wh="$(sed -nE 's/.*Geometry: ([0-9]+)x([0-9]+).*/\2/p' <<<"$geo")"
  for _ in $(seq 1 50); do
    eval "$(xdotool getmouselocation --shell 2>/dev/null | grep -E '^[XY]=' | sed 's/^/p/')"
    if [[ -n "${pX:-}" && "$pX" -ge "$wx" && "$pX" -lt $((wx + ww)) && "$pY" -ge "$wy" && "$pY" -lt $((wy + wh)) ]]; then
      # The keyboard focus too: a window of an earlier test on this display
      # may have taken it and gone, leaving it nowhere.
      xdotool windowfocus "$win" 2>/dev/null || true
      return 0
    fi
    xdotool mousemove --window "$win" 700 470
    sleep 0.1
  done
  return 1
}
# Presses keys until the simulator has logged TEXT N times: a key lost to
# a window not yet under the pointer is pressed again, one received is not.
press_until() {   # press_until TEXT N KEY...
  local text="$1" n="$2" try
  shift 2
  for try in 1 2 3; do
    pointer_in_window
    xdotool key "$@"
    for _ in $(seq 1 100); do
      [[ "$(count_of "$sim_log" "$text")" -ge "$n" ]] && return 0
      sleep 0.1
    done
  done
  echo "     gave up waiting for '$text' x$n"
  return 1
}
shown_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }

start_sim --firmware 2.5.3 --serial TSV0999Z || exit 1
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
check "no banner before a combination" eventually shows dashboard-start 650 220 50 18 45 45 45 -lt 20

# Horn on DSP-Y, Drum on DSP-X: Miscellany is four groups below Amplitude,
# Horn its ninth item and Drum its tenth.
pick "${menu_y[@]}" 4 8
check "Horn: the block, then DSP-Y's program reach the pedal" wait_text "$sim_log" "Write Data (Preview) DSP-Y  512" 1
pick "${menu_x[@]}" 4 9
check "Drum: the block, then DSP-X's program reach the pedal" wait_text "$sim_log" "Write Data (Preview) DSP-X  512" 1
check "the rotary pair is sent with Mixture" test $(( 0x$(core_byte 2 1) & 0x0C )) -eq 4
check "both rotors slow" test $(( 0x$(core_byte 2 4) & 0x11 )) -eq 0
check "rotary banner drawn over the menus" eventually shows dashboard-rotary 650 220 50 18 45 45 45 -gt 100
png="$shots/dashboard-rotary.png"
check "tips button shown" test "$(count_near "$png" 701 293 38 38 255 204 0)" -gt 20
# Slow rotors: the orange brackets stand over both SLOW SPEED sliders.
check "bracket over DSP-Y's SLOW SPEED" test "$(count_near "$png" 382 145 154 2 255 102 0)" -gt 100
check "no bracket over DSP-Y's FAST SPEED" test "$(count_near "$png" 537 145 154 2 255 102 0)" -lt 10

# Keys go to the window under the pointer (no window manager): put it over
# the Dashboard once the menus have gone.
xdotool mousemove --window "$win" 700 470
check "Control: one more block sent" press_until "Change Core (Preview)" 3 ctrl
check "Control: both rotors fast in it" test "$(core_byte 3 4)" = "11"
check "Control: bracket moves to DSP-Y's FAST SPEED" eventually shows dashboard-rotary-fast 537 145 154 2 255 102 0 -gt 100
png="$shots/dashboard-rotary-fast.png"
check "Control: bracket moves to DSP-X's FAST SPEED" test "$(count_near "$png" 904 145 154 2 255 102 0)" -gt 100
check "Control: SLOW SPEED brackets gone" test "$(count_near "$png" 382 145 154 2 255 102 0)" -lt 10

# A tempo algorithm on DSP-X (Chopper: Amplitude, third item) and a tempo
# typed past its limit.
pick "${menu_x[@]}" 0 2
check "Chopper sent" wait_text "$sim_log" "Change Core (Preview)" 4
click 896 180   # DSP-X speed value (slider 756, 155: input at 879, 170)
# (No Control+A: Control toggles the rotors while DSP-Y still runs HORN.)
check "the typed tempo sent" press_until "Change Core (Preview)" 5 End BackSpace BackSpace BackSpace BackSpace 7 0 0 Return
check "Chopper: Cascade again" test $(( 0x$(core_byte 4 1) & 0x0C )) -eq 0
check "Chopper starts at 180 BPM (raw 682)" test "$(core_byte 4 6) $(core_byte 4 7)" = "aa 02"
check "700 typed: 600 BPM sent (raw 205)" test "$(core_byte 5 6) $(core_byte 5 7)" = "cd 00"
check "rotary banner gone with the combination" eventually shows dashboard-tempo 650 220 50 18 45 45 45 -lt 20
png="$shots/dashboard-tempo.png"
check "DSP-Y's rotor still fast" test "$(count_near "$png" 537 145 154 2 255 102 0)" -gt 100

click 720 112   # SWAP
check "SWAP: both programs sent" wait_text "$sim_log" "Write Data (Preview) DSP-Y  512" 2
check "SWAP: the block first" wait_text "$sim_log" "Change Core (Preview)" 6
check "SWAP: DSP-Y's arp sequence asked for last" wait_text "$sim_log" "GET_ARPDATA" 2
# HORN moved to DSP-X (the rotor bits stay with their engine).
check "SWAP: HORN's bracket now on DSP-X" eventually shows dashboard-swapped 748 145 310 2 255 102 0 -gt 100
png="$shots/dashboard-swapped.png"
check "SWAP: no bracket left on DSP-Y" test "$(count_near "$png" 382 145 310 2 255 102 0)" -lt 10

stop_app
stop_sim
echo "# screenshots in $shots"
if [[ "$failures" -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"

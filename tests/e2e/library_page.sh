#!/usr/bin/env bash
# The Library page in the real program, driven with xdotool under X against
# the simulated pedal: the library is filled from the pedal's slots through
# the command line, then the page is opened, searched by typing, rows are
# auditioned with Up/Down (each one previewed on the pedal), a favourite is
# starred (and lands in library.json), and a row is dragged onto a slot of
# the preset pages and written there after the question.
# Usage: library_page.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"

start_sim --serial TSV0555Q --state "$work/pedal.state" || exit 1
DISPLAY= "$korvane" presets export "$work/all.tessivar.json" --slots 1-32 >/dev/null 2>&1
DISPLAY= "$korvane" presets import "$work/all.tessivar.json" >/dev/null 2>&1
DISPLAY= "$korvane" presets tag "Talk Box" vocal >/dev/null 2>&1
DISPLAY= "$korvane" setlist save Friday "Lush Chorus" "Talk Box" "Old Record" >/dev/null 2>&1
check "the library holds 32 presets" test "$(wc -l <"$presets/presets.lst")" -eq 32

start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
settle 1
shot library-start

# The page (window coordinates): search at 560,85; the table's rows from y 140, 25 apart; the star column at x 395.
row_y() { echo $((140 + 25 * $1)); }
# The 7 bytes the simulator logs of a Change Core with a preset file's block.
block_of() { tail -c 47 "$presets/$1.lop" | head -c 7 | od -An -tx1 | tr -s ' ' | sed 's/^ //;s/ $//'; }

echo "# open the Library tab"
click 668 61
settle 1
shot library-open

echo "# type in the search field: one row is left; picking it plays it"
click 560 85
xdotool type --delay 40 "TALK"
settle 0.5
shot library-search
mark="$(wc -l <"$sim_log")"
click 500 "$(row_y 0)"
settle 1.5
check "picking the row previews Talk Box on the pedal" \
  bash -c "tail -n +$((mark + 1)) '$sim_log' | grep -qF 'Change Core (Preview)  36 bytes: c3 $(block_of 'Talk Box')'"
check "no question: nothing was edited" test "$(window_count)" -eq 1

echo "# search 'arp', pick the first row, then Down twice: each row is auditioned"
click 560 85
xdotool key ctrl+a BackSpace
xdotool type --delay 40 "arp"
settle 0.5
DISPLAY= "$korvane" presets list --search arp 2>/dev/null | cut -c3- | cut -f1 >"$work/arp.names"
mark="$(wc -l <"$sim_log")"
click 500 "$(row_y 0)"
settle 1.5
xdotool key Down
settle 1.5
xdotool key Down
settle 1.5
shot library-audition
for i in 1 2 3; do
  name="$(sed -n "${i}p" "$work/arp.names")"
  check "row $i ($name) was previewed, in order" \
    bash -c "tail -n +$((mark + 1)) '$sim_log' | grep 'Change Core (Preview)' | awk 'NR % 2 == 1' | sed -n '${i}p' | grep -qF 'c3 $(block_of "$name")'"
done

echo "# star the first row"
click 395 "$(row_y 0)"
settle 1
shot library-star
first="$(sed -n 1p "$work/arp.names")"
check "library.json marks it a favourite" python3 -c "
import json,sys; d=json.load(open('$presets/library.json'))
sys.exit(0 if d['presets']['$first']['favourite'] is True else 1)"

echo "# the setlist's order list: drag its first line below the third, save the order"
xdotool mousemove --window "$win" 960 134 mousedown 1
xdotool mousemove --window "$win" 960 150
xdotool mousemove --window "$win" 960 166
settle 0.3
xdotool mouseup 1
settle 0.5
click 965 392
settle 0.5
shot setlist-reordered
check "the setlist file holds the new order" python3 -c "
import json,sys; d=json.load(open('$presets/setlists/Friday.json'))
sys.exit(0 if d['presets'] == ['Talk Box', 'Old Record', 'Lush Chorus'] else 1)"

echo "# drag the second row onto PC.5 (slot 6) and answer Write"
xdotool mousemove --window "$win" 500 "$(row_y 1)" mousedown 1
xdotool mousemove --window "$win" 450 "$(row_y 1)"
xdotool mousemove --window "$win" 300 300
xdotool mousemove --window "$win" 180 300
settle 0.3
xdotool mouseup 1
wait_windows 2
settle 0.5
shot library-drop-question
mark="$(wc -l <"$sim_log")"
# The question's action button stands left of Cancel (Return would be Cancel).
q="$(xdotool search --onlyvisible --name '^Question$' 2>/dev/null | head -n1)"
eval "$(xdotool getwindowgeometry --shell "$q" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
xdotool mousemove --window "$q" $((${WIDTH:-0} - 155)) $((${HEIGHT:-0} - 22)) click 1
settle 3
shot library-dropped
second="$(sed -n 2p "$work/arp.names")"
check "slot 6 was stored" grep -qF "Store preset 5" <(tail -n +$((mark + 1)) "$sim_log")
check "and read back to verify it" in_order <(tail -n +$((mark + 1)) "$sim_log") "Store preset 5" "Read preset 5"
check "no dialog left open" test "$(window_count)" -eq 1

echo "# drag PC.1 by its label onto PC.3: Move here"
xdotool mousemove --window "$win" 30 200 mousedown 1
xdotool mousemove --window "$win" 30 220
xdotool mousemove --window "$win" 30 250
settle 0.3
xdotool mouseup 1
wait_windows 2
settle 0.5
shot slot-drop-question
qwin="$(xdotool search --onlyvisible --name '^Question$' | head -n1)"
check "the question window is there" test -n "$qwin"
# Move here is the rightmost button.
eval "$(xdotool getwindowgeometry --shell "$qwin" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
xdotool mousemove --window "$qwin" $((${WIDTH:-0} - 50)) $((${HEIGHT:-0} - 22)) click 1
settle 4
shot slot-moved
stop_app

DISPLAY= "$korvane" list >"$work/after.out" 2>/dev/null
title_of() { sed -n "$(($1 + 1))p" "$work/after.out" | cut -c18-29 | sed 's/ *$//'; }
check "slot 6 holds the dragged preset" test "$(title_of 6)" = "$(tail -c 12 "$presets/$second.lop" | sed 's/ *$//')"
check "the move put Slow Rotary (slot 2) into slot 4" test "$(title_of 4)" = "Slow Rotary"
check "and shifted slots 3-4 up one" bash -c "[ '$(title_of 2)' = 'Fast Rotary' ] && [ '$(title_of 3)' = 'Vintage Vibe' ]"
check "a safety backup was taken before the move" bash -c "ls '$presets/autobackup/' | grep -q 'Tessivar_AutoBackup_.*bkp'"
stop_sim

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

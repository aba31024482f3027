#!/usr/bin/env bash
# The Library page follows the presets folder in the real program, driven
# with xdotool under X against the simulated pedal: presets imported and a
# tag added by `korvane presets` while the window is open show on the page
# (searched for by typing, picked, and played on the pedal), and a star
# given in the window after an outside tag keeps that tag.
# Usage: library_follows.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"

start_sim --serial TSV0556R --state "$work/pedal.state" || exit 1
DISPLAY= "$korvane" presets export "$work/first.tessivar.json" --slots 1-3 >/dev/null 2>&1
DISPLAY= "$korvane" presets import "$work/first.tessivar.json" >/dev/null 2>&1
DISPLAY= "$korvane" presets export "$work/later.tessivar.json" --slots 20 >/dev/null 2>&1
check "the library starts with 3 presets" test "$(wc -l <"$presets/presets.lst")" -eq 3

start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
settle 1

# The page (window coordinates): search at 560,85; the table's rows from y 140, 25 apart; the star column at x 395.
row_y() { echo $((140 + 25 * $1)); }
block_of() { tail -c 47 "$presets/$1.lop" | head -c 7 | od -An -tx1 | tr -s ' ' | sed 's/^ //;s/ $//'; }

echo "# open the Library tab"
click 668 61
wait_still
shot follows-before

echo "# the command line imports a preset while the window is open"
screen_to "$work/before-import.png"
DISPLAY= "$korvane" presets import "$work/later.tessivar.json" >/dev/null 2>&1
name="$(basename "$(tail -n 1 "$presets/presets.lst")" .lop)"
check "the import added '$name'" test "$(wc -l <"$presets/presets.lst")" -eq 4
check "the page changes by itself" eventually -t 5 differs_from "$work/before-import.png"
wait_still
shot follows-imported

echo "# search for it and pick it: it is on the page and plays"
click 560 85
xdotool type --delay 40 "$name"
wait_still
mark="$(wc -l <"$sim_log")"
click 500 "$(row_y 0)"
settle 1.5
check "picking the imported row previews it on the pedal" \
  bash -c "tail -n +$((mark + 1)) '$sim_log' | grep -qF 'Change Core (Preview)  36 bytes: c3 $(block_of "$name")'"

echo "# the command line tags it; the window stars it: both stay"
screen_to "$work/before-tag.png"
DISPLAY= "$korvane" presets tag "$name" outside >/dev/null 2>&1
check "the outside tag shows on the page" eventually -t 5 differs_from "$work/before-tag.png"
wait_still
click 395 "$(row_y 0)"
settle 1
shot follows-starred
check "library.json keeps the outside tag and has the star" python3 -c "
import json,sys; p=json.load(open('$presets/library.json'))['presets']['$name']
sys.exit(0 if p.get('favourite') is True and 'outside' in p.get('tags', []) else 1)"

stop_app
[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

#!/usr/bin/env bash
# The Arp Editor of the real program against the simulated pedal on a
# pseudo-terminal, driven with xdotool under X. The pedal's preset 1 plays the
# Arpeggiator on both engines (Sequence I on DSP-X, Sequence II on DSP-Y):
#   1. the Arp Editor tab shows both engines (screenshots of each);
#   2. a factory sequence picked from its choice is loaded and heard (store flag 0);
#   3. "save to slot 4" and S A V E store it (store flag 1): the pedal's memory
#      holds it afterwards;
#   4. choosing Sequence IV reads it back from the pedal, and what came back is
#      what was saved (reversed twice, it is heard as it was stored);
#   5. `korvane arp show` and `korvane arp save` on the same pedal.
# Usage: arp_editor.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

# Window coordinates of the page's controls (page at 370, 63).
tab_x=598; tab_y=41            # " Arp Editor " tab
edit_y_x=673; edit_y_y=132     # " EDIT Y"
factory_x=955; factory_y=456   # factory choice
slot_x=755; slot_y=498         # slot choice
save_x=757; save_y=545         # "S A V E"
seq4_x=527; seq4_y=545         # " Sequence IV"
reverse_x=470; reverse_y=85    # "REVERSE SEQUENCE"

# Factory data with preset 1 changed: the Arpeggiator on both engines.
data="$work/data"
mkdir -p "$data"
cp "$src"/bin/* "$data/"
python3 - "$data/factoryset.fap" <<'PY'
import sys
path = sys.argv[1]
image = bytearray(open(path, "rb").read())
block = bytearray(35)
block[:] = image[21 * 35:22 * 35]        # the factory "Arpeggiator" preset: DSP-X ARPGTR, Sequence I, Major
block[34] = 37                           # DSP-Y runs the Arpeggiator too
block[16], block[17], block[18] = 2, 1, 0   # Sequence II, Pentatonic, Up
block[2] &= 0xFE                         # DSP-X in front
image[0:35] = block
image[1120:1132] = b"Arp Both    "
open(path, "wb").write(image)
PY

# The 32-byte record of factory sequence s of the Arpeggiator (index 6), in hex.
factory_hex() { python3 -c "import sys; d=open(sys.argv[1],'rb').read(); print(d[6*128+32*int(sys.argv[2]):][:32].hex())" "$data/arpdata.bin" "$1"; }
# How often a record (hex) occurs in a file.
occurrences() { python3 -c "import sys; print(open(sys.argv[1],'rb').read().count(bytes.fromhex(sys.argv[2])))" "$1" "$2"; }
second="$(factory_hex 1)"
head5="$(echo "$second" | cut -c1-6 | sed -E 's/(..)(..)(..)/\1 \2 \3/')"

state="$work/state.bin"

echo "# the Arp Editor against the simulated pedal"
start_sim --data-dir "$data" --state "$state" || exit 1
start_app || exit 1
wait_text "$app_out" "Get Arp Data successful" 2
check "both engines' sequences read at start-up" \
  in_order "$sim_log" "GET_ARPDATA  4 bytes: c7 06 00 00" "GET_ARPDATA  4 bytes: c7 06 01 02"

click "$tab_x" "$tab_y"
settle 1
shot arp-editor-dsp-x
click "$edit_y_x" "$edit_y_y"
settle 1
shot arp-editor-dsp-y
check "switching engines sends nothing" test "$(count_of "$sim_log" "SET_ARPDATA")" -eq 0
# Back to DSP-X.
click $((edit_y_x + 90)) "$edit_y_y"
settle 0.5

echo "# factory sequence II"
click "$factory_x" "$factory_y"
settle 0.5
xdotool key Down Down Return
wait_text "$sim_log" "SET_ARPDATA (preview)"
settle 0.5
shot arp-editor-factory
check "the factory sequence is heard with store flag 0 under DSP-X's selector" \
  grep -qF "SET_ARPDATA (preview)  37 bytes: c8 00 00 06 00 $head5" "$sim_log"

echo "# save to slot 4"
click "$slot_x" "$slot_y"
settle 0.5
xdotool key Down Down Down Down Return
settle 0.5
click "$save_x" "$save_y"
wait_text "$sim_log" "SET_ARPDATA (store)"
settle 0.3
shot arp-editor-saved
check "S A V E stores with store flag 1 as Sequence IV" \
  grep -qF "SET_ARPDATA (store)  37 bytes: c8 00 01 06 06 $head5" "$sim_log"
settle 1.5
board="$work/board.txt"
save_board >"$board"
check "board: the sequence was heard, then saved" \
  in_order "$board" "] :  Arp sequence read/write ok." "] :  Arp sequence saved to pedal."

echo "# Sequence IV read back"
# The slot choice lit Sequence IV: go to Sequence I and back.
click "$seq4_x" $((seq4_y - 90))
wait_text "$sim_log" "GET_ARPDATA  4 bytes: c7 06 00 00" 2
settle 0.5
shot arp-editor-sequence-i
click "$seq4_x" "$seq4_y"
wait_text "$sim_log" "GET_ARPDATA  4 bytes: c7 06 00 06"
settle 1
shot arp-editor-readback
check "choosing Sequence IV switches the preset, then reads the sequence" \
  in_order "$sim_log" "SET_ARPDATA (store)" "Change Core" "GET_ARPDATA  4 bytes: c7 06 00 06  -> answered 32 bytes"

click "$reverse_x" "$reverse_y"
settle 0.5
click "$reverse_x" "$reverse_y"
settle 0.5
check "the sequence read back is the one saved" \
  test "$(grep -F "SET_ARPDATA (preview)" "$sim_log" | tail -n1 | grep -cF "c8 00 00 06 06 $head5")" -eq 1

stop_app

echo "# the command line"
(unset DISPLAY; "$korvane" arp show 1) >"$work/show.out" 2>"$work/show.err"
check "korvane arp show 1 names both engines' sequences" \
  in_order "$work/show.out" "DSP-X  ARPGTR  Sequence I  " "DSP-Y  ARPGTR  Sequence II  "
(unset DISPLAY; "$korvane" arp save ARPGTR 3 60 40 20 0 --yes) >"$work/save.out" 2>"$work/save.err"
check "korvane arp save stores with store flag 1 as Sequence III" \
  grep -qF "SET_ARPDATA (store)  37 bytes: c8 00 01 06 04" "$sim_log"
check "korvane arp save says where it went" grep -qF "Stored as Arpeggiator Sequence III: 4 steps: 60.0 40.0 20.0 0.0" "$work/save.out"

stop_sim
# Factory sequence II now also stands where Sequence IV was kept.
check "the pedal's memory holds the saved sequence" test "$(occurrences "$state" "$second")" -ge 2

echo "# screenshots in $shots"
if [[ "$failures" -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"

#!/usr/bin/env bash
# `korvane globals` end to end, with no display, against the simulated pedal
# keeping its memory in a state file: show, save, load with its read-back,
# the pedal keeping a loaded record across a restart, and the files refused
# before anything is sent (wrong size, values the settings panels would
# refuse, not a regular file).
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY

state="$work/pedal.state"
start_sim --state "$state"

"$korvane" globals show >"$work/show.out" 2>"$work/show.err"; status=$?
check "show exits 0" test "$status" -eq 0
check "show prints 38 settings" test "$(wc -l <"$work/show.out")" -eq 38
check "show names the factory AUX actions" \
  in_order "$work/show.out" "AUX TIP: Bank Down" "AUX TIP + RING: Tap Tempo" "AUX RING: Bank Up"
check "show names pages, pad, channel, footswitch and LED" \
  in_order "$work/show.out" "Fave Preset: 1A" "Preset Pages: 4" "Input Pad: 0 dB (no pad)" \
  "MIDI Channel: Channel 1" "Footswitch B/X: Preset" "Tempo LED: Blinking"
check "show ends with the CC of EXP PEDAL" grep -qx "CC EXP PEDAL: 42" <(tail -n1 "$work/show.out")

"$korvane" globals save "$work/g.bin" >/dev/null 2>&1; status=$?
check "save exits 0" test "$status" -eq 0
check "save writes the 34-byte factory record in record order" \
  test "$(od -An -tx1 -v "$work/g.bin" | tr -d ' \n')" = "030a026000$(for k in $(seq 14 42); do printf '%02x' "$k"; done)"
check "save leaves no temporary file" test "$(ls -A "$work" | grep -c '^\.g\.bin\.')" -eq 0

# An edited record: TIP on Favorite, favourite 16B with the pad, channel 6,
# tap tempo, LED off, bits 4-5 set, and DSP-X and DSP-Y on swapped CCs.
python3 - "$work/g.bin" "$work/edited.bin" <<'PY'
import sys
b = bytearray(open(sys.argv[1], "rb").read())
b[0] = 7; b[3] = 0xFF; b[4] = 0xF5; b[5], b[6] = 15, 14
open(sys.argv[2], "wb").write(b)
PY
"$korvane" globals load --yes "$work/edited.bin" >"$work/load.out" 2>"$work/load.err"; status=$?
check "load --yes exits 0" test "$status" -eq 0
check "load says it verified" grep -q "verified" "$work/load.out"
check "the pedal saw SET_GLOBALS then GET_GLOBALS" in_order "$sim_log" "SET_GLOBALS" "GET_GLOBALS"

# Reconnect: a new simulator run from the state file.
stop_sim
start_sim --state "$state"
"$korvane" globals show >"$work/show2.out" 2>/dev/null
check "after a restart the pedal keeps the loaded settings" \
  in_order "$work/show2.out" "AUX TIP: Favorite" "Fave Preset: 16B" "Input Pad: -6 dB pad" \
  "MIDI Channel: Channel 6" "Footswitch B/X: Tap-Tempo" "Tempo LED: Blinking Off" "CC DSP-X: 15" "CC DSP-Y: 14"
"$korvane" globals save "$work/back.bin" >/dev/null 2>&1
check "save after load gives the loaded bytes back" cmp -s "$work/edited.bin" "$work/back.bin"

# Refused files: nothing at all is sent, not even the connect sequence.
refused() {   # refused WHAT FILE
  local before after status
  before="$(wc -l <"$sim_log")"
  timeout 10 "$korvane" globals load --yes "$2" >/dev/null 2>"$work/refused.err"; status=$?
  after="$(wc -l <"$sim_log")"
  check "$1: status 2" test "$status" -eq 2
  check "$1: nothing sent" test "$before" -eq "$after"
}
head -c 33 "$work/g.bin" >"$work/short.bin"
refused "33-byte file" "$work/short.bin"
{ cat "$work/g.bin"; printf 'x'; } >"$work/long.bin"
refused "35-byte file" "$work/long.bin"
python3 -c "import sys; b=bytearray(open(sys.argv[1],'rb').read()); b[5+16]=120; open(sys.argv[2],'wb').write(b)" \
  "$work/g.bin" "$work/cc120.bin"
refused "CC number above 99" "$work/cc120.bin"
grep -q "CC number 120 of X-SPEED is above 99" "$work/refused.err"
check "CC above 99: the function is named" test $? -eq 0
python3 -c "import sys; b=bytearray(open(sys.argv[1],'rb').read()); b[6]=14; open(sys.argv[2],'wb').write(b)" \
  "$work/g.bin" "$work/dup.bin"
refused "two functions on one CC" "$work/dup.bin"
python3 -c "import sys; b=bytearray(open(sys.argv[1],'rb').read()); b[1]=16; open(sys.argv[2],'wb').write(b)" \
  "$work/g.bin" "$work/aux16.bin"
refused "AUX code 16" "$work/aux16.bin"
mkfifo "$work/fifo"
refused "a FIFO (not waited on)" "$work/fifo"
refused "a folder" "$work"
refused "a missing file" "$work/none.bin"

before="$(wc -l <"$sim_log")"
"$korvane" globals load "$work/edited.bin" </dev/null >/dev/null 2>&1; status=$?
check "load without --yes and without a terminal: status 2" test "$status" -eq 2
check "load without --yes: nothing sent" test "$before" -eq "$(wc -l <"$sim_log")"

"$korvane" globals save "$work/no-such-folder/g.bin" >/dev/null 2>"$work/save.err"; status=$?
check "save into a missing folder is refused before the pedal is asked (2)" test "$status" -eq 2
"$korvane" globals >/dev/null 2>&1; status=$?
check "globals without an action is a usage error" test "$status" -eq 2
"$korvane" globals frob >/dev/null 2>&1; status=$?
check "an unknown action is a usage error" test "$status" -eq 2

# An AUX list with no selection is kept as 255 by the pedal and the Global
# panel: such a record goes out with save and comes back with load.
python3 - "$work/g.bin" "$work/none.bin" <<'PY'
import sys
b = bytearray(open(sys.argv[1], "rb").read())
b[0] = 255; b[2] = 255
open(sys.argv[2], "wb").write(b)
PY
"$korvane" globals load --yes "$work/none.bin" >/dev/null 2>"$work/none.err"; status=$?
check "a record with AUX 255 (no selection) loads" test "$status" -eq 0
"$korvane" globals save "$work/none-back.bin" >/dev/null 2>&1
check "and saved again it is the same bytes" cmp -s "$work/none.bin" "$work/none-back.bin"
"$korvane" globals load --yes "$work/none-back.bin" >/dev/null 2>&1; status=$?
check "the saved file loads again" test "$status" -eq 0

stop_sim
"$korvane" globals show >/dev/null 2>&1; status=$?
check "no pedal: show exits 1" test "$status" -eq 1

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

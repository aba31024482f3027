#!/usr/bin/env bash
# `korvane move --no-backup 2 30` against the simulated pedal dropping off
# the bus right after the move's first store: the command fails (1), prints
# the preset it displaced (hex) and keeps it beside the safety backups as an
# offline preset file; with the pedal back, `korvane write` puts it on the
# pedal, and every preset slots 2 to 30 held before is there again
# when it goes into slot 3, where the move stopped.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY
presets="$HOMEDRIVE/Brakwell/Korvane/presets"
state="$work/pedal.state"

# The pedal as it was, and how many requests the move sends up to the
# read-back of its first store (counted on a copy of the pedal that stays;
# a store's parameters and its two programs are one request).
# Every slot a title of its own, so that each preset can be told apart.
start_sim --state "$state"
"$korvane" backup "$work/factory.bkp" >/dev/null 2>&1
python3 - "$work/factory.bkp" "$work/titled.bkp" <<'EOF'
import sys
b = bytearray(open(sys.argv[1], "rb").read())
for s in range(32):
    b[1120 + s * 12:1120 + s * 12 + 12] = ("Sound %d" % (s + 1)).ljust(12).encode()
open(sys.argv[2], "wb").write(bytes(b))
EOF
"$korvane" restore --yes --no-backup "$work/titled.bkp" >/dev/null 2>&1
"$korvane" backup "$work/before.bkp" >/dev/null 2>&1
check "the pedal holds 32 titled presets" cmp -s "$work/titled.bkp" "$work/before.bkp"
stop_sim
cp "$state" "$work/count.state"
start_sim --state "$work/count.state"
"$korvane" move --yes --no-backup 2 30 >/dev/null 2>&1
stop_sim
requests="$(awk '/serving on/ { on = 1; next }
                 on && /Store preset 1 Y-Data/ { stored = 1 }
                 on && !/stopped|signal|purged|vanished|X-Data|Y-Data/ { n++ }
                 stored && /Read preset 1 / { print n; exit }' "$sim_log")"
check "the first store's read-back is found in the pedal's log" test -n "$requests"

# The same move on the pedal itself, which is gone after that read-back.
start_sim --state "$state" --vanish-after "${requests:-1}"
"$korvane" move --yes --no-backup 2 30 >"$work/move.out" 2>"$work/move.err"; status=$?
stop_sim
check "the move fails (1)" test "$status" -eq 1
check "it names slot 2 as written and verified" grep -q "Slots written and verified: Preset 2\." "$work/move.err"
check "it prints the displaced preset in hex" grep -qE "Preset 2 as it was .*: [0-9A-F]{94}$" "$work/move.err"
kept="$(find "$presets/autobackup" -name 'Preset 2 kept *.lop' 2>/dev/null | head -n1)"
check "the displaced preset is kept beside the safety backups" test -n "$kept"
check "and the message names the file" grep -qF "$kept" "$work/move.err"

# The pedal back: the kept preset goes into slot 3, which the move left unknown.
start_sim --state "$state"
"$korvane" write --yes 3 "$kept" >/dev/null 2>"$work/write.err"; status=$?
check "korvane write puts the kept preset back (0)" test "$status" -eq 0
"$korvane" backup "$work/after.bkp" >/dev/null 2>&1
stop_sim
check "nothing of slots 2 to 30 is lost" python3 - "$work/before.bkp" "$work/after.bkp" <<'EOF'
import sys
def records(path):
    b = open(path, "rb").read()
    return [b[s * 35:s * 35 + 35] + b[1120 + s * 12:1120 + s * 12 + 12] for s in range(32)]
before, after = records(sys.argv[1]), records(sys.argv[2])
known = after
lost = [s + 1 for s in range(1, 30) if before[s] not in known]
if lost:
    print("     lost: slots", lost)
sys.exit(1 if lost else 0)
EOF

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

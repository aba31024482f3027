#!/usr/bin/env bash
# The librarian's commands end to end with no display, against the simulated
# pedal: the pedal's 32 slots exported to a .tessivar.json file and imported
# into the library byte for byte, the documented example imported, tags,
# notes, search and --json, a setlist written into slots 5-9 and verified,
# a store failing in a setlist (reported with the slots done and the backup),
# and a move from slot 2 to slot 30.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY

start_sim --serial TSV0888K --state "$work/pedal.state"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"

# Export the pedal's 32 slots, then the pedal's image to compare with.
"$korvane" presets export "$work/all.tessivar.json" --slots 1-32 >"$work/x.out" 2>"$work/x.err"; status=$?
check "export --slots exits 0" test "$status" -eq 0
check "export says how many" grep -qF "Exported 32 presets to $work/all.tessivar.json" "$work/x.out"
"$korvane" backup "$work/pedal.bkp" >/dev/null 2>&1
"$korvane" presets import "$work/all.tessivar.json" >"$work/i.out" 2>"$work/i.err"; status=$?
check "import exits 0" test "$status" -eq 0
check "import reports 32 imported" grep -qF "32 presets imported, 0 refused." "$work/i.err"
check "every imported record equals its slot, byte for byte" python3 - "$work/all.tessivar.json" "$work/pedal.bkp" "$presets" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1])); image = open(sys.argv[2], 'rb').read(); folder = sys.argv[3]
assert len(doc["presets"]) == 32
lst = [l for l in open(folder + "/presets.lst").read().splitlines() if l]
assert len(lst) == 32, len(lst)
for slot, (p, path) in enumerate(zip(doc["presets"], lst)):
    want = image[slot*35:slot*35+35] + image[1120+slot*12:1120+slot*12+12]
    assert bytes.fromhex(p["record"]) == want, slot
    data = open(path, 'rb').read()
    name, rest = data.split(b"\n", 1)
    assert rest[:47] == want, (slot, path)
PY
# Importing the same file again numbers the names.
"$korvane" presets import "$work/all.tessivar.json" >"$work/i2.out" 2>/dev/null
first=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["presets"][0]["name"])' "$work/all.tessivar.json")
check "a name already there gets (2)" grep -qF "Imported \"$first\" as \"$first (2)\"" "$work/i2.out"

# The documented example imports as it is.
"$korvane" presets import "$src/docs/example.tessivar.json" >"$work/ex.out" 2>"$work/ex.err"; status=$?
check "the documented example imports (0)" test "$status" -eq 0
check "the example's favourite is listed with a star" bash -c "'$korvane' presets list --favourites 2>/dev/null | grep -q '^\\* Lush Chorus (3)'"

# A hand-edited value that disagrees with the record is refused, the rest imported.
python3 - "$src/docs/example.tessivar.json" "$work/edited.tessivar.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1])); d["presets"][0]["decoded"]["dsp_x"]["depth_percent"] = 99
json.dump(d, open(sys.argv[2], "w"), indent=2)
PY
"$korvane" presets import "$work/edited.tessivar.json" >"$work/ed.out" 2>"$work/ed.err"; status=$?
check "an edited decoded value makes import exit 2" test "$status" -eq 2
check "it names the field" grep -qF 'decoded.dsp_x.depth_percent is 99 in the file but' "$work/ed.err"
check "the other preset is imported" grep -qF 'Imported "Jet Flanger" as "Jet Flanger (4)"' "$work/ed.out"
printf 'not json' >"$work/bad.tessivar.json"
"$korvane" presets import "$work/bad.tessivar.json" >/dev/null 2>"$work/bad.err"; status=$?
check "a file that is not JSON exits 2" test "$status" -eq 2

# Tags, notes, search.
"$korvane" presets tag "Talk Box" live Vocal >/dev/null 2>&1
"$korvane" presets note "Talk Box" "Second verse" >/dev/null 2>&1
"$korvane" presets list --search "VERSE" >"$work/s.out" 2>/dev/null
check "search finds notes, any letter case" grep -q "Talk Box" "$work/s.out"
"$korvane" presets list --tag live --json >"$work/j.out" 2>/dev/null
check "--json lists objects with the names the issue asks for" python3 - "$work/j.out" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))
names = sorted(r["name"] for r in rows)
assert "Talk Box" in names and "Lush Chorus (3)" in names, names
for r in rows:
    for k in ("name", "title", "tags", "favourite", "algorithm_x", "algorithm_y"): assert k in r
PY
"$korvane" presets tag "No Such" live >/dev/null 2>&1; status=$?
check "tagging a preset that is not there exits 2" test "$status" -eq 2
check "library.json sits beside presets.lst" test -s "$presets/library.json"

# A setlist into slots 5-9, each verified.
"$korvane" setlist save Friday "Lush Chorus" "Talk Box" "Old Record" "Junk Shop" "Surf Trem" >/dev/null 2>&1
"$korvane" setlist show Friday >"$work/show.out" 2>/dev/null
check "setlist show lists the presets in order" bash -c "sed -n 2p '$work/show.out' | grep -qx '2	Talk Box'"
"$korvane" setlist write Friday 5 >/dev/null 2>&1 </dev/null; status=$?
check "setlist write without --yes refuses (2)" test "$status" -eq 2
"$korvane" setlist write --yes Friday 5 >"$work/sw.out" 2>"$work/sw.err"; status=$?
check "setlist write exits 0" test "$status" -eq 0
"$korvane" list >"$work/list.out" 2>/dev/null
check "slots 5-9 hold the setlist" python3 - "$work/list.out" <<'PY'
import sys
titles = [l[17:29].rstrip() for l in open(sys.argv[1]).read().splitlines()[5:10]]
assert titles == ["Lush Chorus", "Talk Box", "Old Record", "Junk Shop", "Surf Trem"], titles
PY

# A store that fails: the first slot's header is spoiled twice (store and retry).
stop_sim
start_sim --serial TSV0888K --state "$work/pedal.state" --spoil-header 2
"$korvane" setlist write --yes Friday 20 >"$work/sf.out" 2>"$work/sf.err"; status=$?
check "a failing setlist exits 1" test "$status" -eq 1
check "it names the slot and the slots done" grep -qF "storing slot 20 failed" "$work/sf.err"
check "and the backup to go back to" grep -q "korvane restore --yes .*autobackup/Tessivar_AutoBackup_" "$work/sf.err"

# Move 2 to 30.
stop_sim
start_sim --serial TSV0888K --state "$work/pedal.state"
"$korvane" list >"$work/before.out" 2>/dev/null
"$korvane" move --yes 2 30 >"$work/m.out" 2>"$work/m.err"; status=$?
check "move exits 0" test "$status" -eq 0
check "move says how many slots were rewritten" grep -qF "29 slots rewritten and verified" "$work/m.out"
"$korvane" list >"$work/after.out" 2>/dev/null
check "slots 3-30 moved up one, 2 is now 30" python3 - "$work/before.out" "$work/after.out" <<'PY'
import sys
b = [l[17:29] for l in open(sys.argv[1]).read().splitlines()[1:33]]
a = [l[17:29] for l in open(sys.argv[2]).read().splitlines()[1:33]]
assert a[0] == b[0] and a[30:] == b[30:]
assert a[1:29] == b[2:30], (a, b)
assert a[29] == b[1]
PY
"$korvane" move --yes 2 2 >/dev/null 2>&1; status=$?
check "a move onto itself is a usage error (2)" test "$status" -eq 2

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

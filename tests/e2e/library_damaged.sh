#!/usr/bin/env bash
# Damaged and hostile input to the librarian's commands, one row each: bad
# tags and notes, shared files with wrong fields or 100,000 nested brackets,
# a damaged or newer library.json, a setlist nested too deep, a name that is
# not UTF-8, a disk that fills during an import, and temporary files a killed
# run left. Each is refused or kept with a message and an honest exit status,
# never a crash, never a silent loss.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY
presets="$HOMEDRIVE/Brakwell/Korvane/presets"

start_sim --state "$work/pedal.state"
"$korvane" presets export "$work/pedal.tessivar.json" --slots 1-4 >/dev/null 2>&1
stop_sim
"$korvane" presets import "$work/pedal.tessivar.json" >"$work/i.out" 2>&1
first="$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["presets"][0]["name"])' "$work/pedal.tessivar.json")"
record="$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["presets"][0]["record"])' "$work/pedal.tessivar.json")"
check "four presets to work on" test "$(grep -c . "$presets/presets.lst")" -eq 4

# shared FILE FIELDS: a sharing file of one preset with extra JSON fields.
shared() { printf '{"format": "tessivar-presets", "version": 1, "presets": [{"name": "Shared", "record": "%s"%s}]}' "$record" "$2" >"$1"; }
deep="$(python3 -c 'print("[" * 100000 + "]" * 100000)')"
umlauts="$(python3 -c 'print("\u00e4" * 21)')"

# row: WHAT STATUS TEXT -- COMMAND...: runs COMMAND, expects STATUS and TEXT
# on standard error (or standard output), and the library unchanged unless
# STATUS is 0.
row() {
  local what="$1" want="$2" text="$3"; shift 4
  local before after status
  before="$(cat "$presets/presets.lst" "$presets/library.json" 2>/dev/null | md5sum)"
  "$@" >"$work/r.out" 2>"$work/r.err"; status=$?
  after="$(cat "$presets/presets.lst" "$presets/library.json" 2>/dev/null | md5sum)"
  check "$what: exit $want (got $status)" test "$status" -eq "$want"
  [[ -n "$text" ]] && check "$what: says \"$text\"" grep -qF -- "$text" "$work/r.err" "$work/r.out"
  [[ "$want" -ne 0 ]] && check "$what: the library is unchanged" test "$before" = "$after"
  return 0
}

row "a tag of 41 characters" 2 "41 characters" -- "$korvane" presets tag "$first" "$(printf 'a%.0s' $(seq 41))"
row "a tag with a comma" 2 "comma" -- "$korvane" presets tag "$first" "a,b"
row "a tag with a line break" 2 "line break" -- "$korvane" presets tag "$first" $'two\nlines'
row "a tag of 21 umlauts (42 bytes)" 0 "" -- "$korvane" presets tag "$first" "$umlauts"
check "the umlaut tag is kept whole" grep -qF "$umlauts" "$presets/library.json"
row "notes of 4001 characters" 2 "4001 characters" -- "$korvane" presets note "$first" "$(printf 'n%.0s' $(seq 4001))"
shared "$work/t.tessivar.json" ', "tags": [3]'
row "an import with a tag that is not a text" 2 "is not a text" -- "$korvane" presets import "$work/t.tessivar.json"
shared "$work/f.tessivar.json" ', "favourite": "yes"'
row "an import with a favourite that is not true or false" 2 "not true or false" -- "$korvane" presets import "$work/f.tessivar.json"
shared "$work/deep.tessivar.json" ", \"decoded\": $deep"
row "an import of 100,000 nested brackets" 2 "nests deeper than 32 levels" -- "$korvane" presets import "$work/deep.tessivar.json"

# A setlist nested too deep.
mkdir -p "$presets/setlists"
printf '{"format": "korvane-setlist", "presets": %s}' "$deep" >"$presets/setlists/Deep.json"
row "a setlist of 100,000 nested brackets" 2 "nests deeper" -- "$korvane" setlist show Deep
rm -f "$presets/setlists/Deep.json"

# A library.json of a newer version: read, never rewritten.
cp "$presets/library.json" "$work/library.good"
python3 - "$presets/library.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1])); d["version"] = 2; d["future"] = {"x": 1}
json.dump(d, open(sys.argv[1], "w"))
PY
row "listing with a newer library.json" 0 "newer version" -- "$korvane" presets list
check "its tags are shown" grep -qF "$umlauts" "$work/r.out"
row "tagging with a newer library.json" 2 "format version 2" -- "$korvane" presets tag "$first" live
cp "$work/library.good" "$presets/library.json"

# Unknown fields of a newer minor version are carried through a rewrite.
python3 - "$presets/library.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1])); d["minor"] = 3
for v in d["presets"].values(): v["rating"] = 5
json.dump(d, open(sys.argv[1], "w"))
PY
row "tagging a library with fields this version does not know" 0 "" -- "$korvane" presets tag "$first" kept
check "the unknown fields are still there" python3 -c '
import json, sys
d = json.load(open(sys.argv[1])); assert d["minor"] == 3
assert all(v.get("rating") == 5 for v in d["presets"].values() if v.get("added")), d' "$presets/library.json"

# A damaged library.json: set aside, said, exit 2.
printf '{"format": "korvane-library", "presets": {"x": {"tags": 3}}}' >"$presets/library.json"
"$korvane" presets tag "$first" live >"$work/r.out" 2>"$work/r.err"; status=$?
check "tagging with a damaged library.json exits 2 (got $status)" test "$status" -eq 2
check "and says where it went and that nothing changed" grep -qF "library.damaged-1.json" "$work/r.err"
check "the damaged file is kept aside, and no new one written" test -s "$presets/library.damaged-1.json" -a ! -e "$presets/library.json"
printf 'not json' >"$presets/library.json"
"$korvane" presets list >"$work/r.out" 2>"$work/r.err"; status=$?
check "listing with a damaged library.json exits 2 (got $status)" test "$status" -eq 2
check "and says where it went" grep -qF "library.damaged-2.json" "$work/r.err"
check "and still lists the presets" grep -qF "$first" "$work/r.out"

# A preset whose name is not UTF-8 keeps its tags and notes.
latin="$(printf 'Caf\xe9')"
{ printf '%s\n' "$latin"; printf '%s' "$record" | xxd -r -p; } >"$presets/$latin.lop"
printf '%s\n' "$presets/$latin.lop" >>"$presets/presets.lst"
row "tagging a preset whose name is not UTF-8" 0 "" -- "$korvane" presets tag "$latin" latin
row "noting it" 0 "" -- "$korvane" presets note "$latin" "from far away"
"$korvane" presets list --tag latin >"$work/r.out" 2>/dev/null
check "its tag is found again" grep -qF "$latin" "$work/r.out"
check "library.json holds no U+FFFD" bash -c "! grep -qF \$'\\xef\\xbf\\xbd' '$presets/library.json'"

# Temporary files a killed run left are cleaned at the next start.
for f in "$presets/.library.json.Ab12Cd" "$presets/setlists/.Friday.json.Ab12Cd" "$presets/.out.tessivar.json.Ab12Cd"; do
  : >"$f"; touch -d '2 hours ago' "$f"
done
"$korvane" presets list >/dev/null 2>&1
check "temporary files of library.json, setlists and exports are cleaned at start" \
  test ! -e "$presets/.library.json.Ab12Cd" -a ! -e "$presets/setlists/.Friday.json.Ab12Cd" -a ! -e "$presets/.out.tessivar.json.Ab12Cd"

# A disk that fills during an import: reported as failed, nothing half-listed.
python3 - "$work/pedal.tessivar.json" "$work/many.tessivar.json" <<'PY'
import json, sys
recs = [p["record"] for p in json.load(open(sys.argv[1]))["presets"]]
ps = [{"name": "Full %d" % i, "record": recs[i % 4]} for i in range(400)]
json.dump({"format": "tessivar-presets", "version": 1, "presets": ps}, open(sys.argv[2], "w"))
PY
if unshare -m true 2>/dev/null; then
  unshare -m bash -c '
    mount -t tmpfs -o size=96k tmpfs "$1" || exit 99
    "$2" presets import "$3" >/dev/null 2>&1 || exit 98
    before=$(md5sum <"$1/presets.lst")
    "$2" presets import "$4" >"$5/full.out" 2>"$5/full.err"; echo $? >"$5/full.status"
    test "$(md5sum <"$1/presets.lst")" = "$before" || echo changed >"$5/full.list"
  ' _ "$presets" "$korvane" "$work/pedal.tessivar.json" "$work/many.tessivar.json" "$work"; inner=$?
  if [[ "$inner" -eq 99 ]]; then
    echo "ok   - (a full disk is not tried: no tmpfs may be mounted here)"
  else
    check "a full disk during an import: exit 1 (got $(cat "$work/full.status" 2>/dev/null))" test "$(cat "$work/full.status" 2>/dev/null)" = 1
    check "it says nothing was imported" grep -qF "nothing was imported" "$work/full.err"
    check "the list is as it was" test ! -e "$work/full.list"
    check "it does not claim an import" test ! -s "$work/full.out"
  fi
else
  echo "ok   - (a full disk is not tried: no mount namespace here)"
fi

exit "$failures"

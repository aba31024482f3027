#!/usr/bin/env bash
# The library's transaction between real processes: pairs of `korvane
# presets` commands run at once against one presets folder (tag/tag,
# tag/note, import/import of the same name, import/tag), then imports killed
# (SIGKILL) at varied moments. Nothing a command reported as done may be
# lost, every exit status must be honest, and after any kill the library is
# consistent: everything listed before is still listed and readable, and a
# preset file nobody lists is never written over.
#
# PAIRS (default 10) sets the pairs per row and KILLS (default 10) the kills;
# docs/reliability.md has the figures of a run with PAIRS=50 KILLS=30.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY
pairs="${PAIRS:-10}"
kills="${KILLS:-10}"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"

# Records to import: the simulated pedal's 32 slots, as files of any size.
start_sim --state "$work/pedal.state"
"$korvane" presets export "$work/pedal.tessivar.json" --slots 1-32 >/dev/null 2>&1
stop_sim
check "the pedal's presets exported" test -s "$work/pedal.tessivar.json"
# make_file OUT COUNT NAME [FIRST_SLOT]: COUNT presets named NAME, NAME 2, ...
# (only NAME when COUNT is 1), records cycling from FIRST_SLOT.
make_file() {
  python3 - "$work/pedal.tessivar.json" "$@" <<'PY'
import json, sys
src, out, count, name = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
first = int(sys.argv[5]) if len(sys.argv) > 5 else 0
recs = [p["record"] for p in json.load(open(src))["presets"]]
ps = [{"name": name if count == 1 else "%s %d" % (name, i + 1), "record": recs[(first + i) % 32], "tags": []}
      for i in range(count)]
json.dump({"format": "tessivar-presets", "version": 1, "presets": ps}, open(out, "w"))
PY
}
make_file "$work/base.tessivar.json" 8 Base
"$korvane" presets import "$work/base.tessivar.json" >/dev/null 2>&1
check "eight presets to work on" test "$(grep -c . "$presets/presets.lst")" -eq 8
make_file "$work/same-a.tessivar.json" 1 Same 3
make_file "$work/same-b.tessivar.json" 1 Same 4
make_file "$work/many.tessivar.json" 40 Many 5

# The library as it is: listed names, each file's record, tags and notes.
snapshot() {
  python3 - "$presets" <<'PY'
import json, os, sys
folder = sys.argv[1]
meta = {}
if os.path.exists(folder + "/library.json"):
    meta = json.load(open(folder + "/library.json"))["presets"]
out = {}
for path in [l for l in open(folder + "/presets.lst").read().split("\n") if l]:
    data = open(path, "rb").read()
    name, rest = data.split(b"\n", 1)
    assert len(rest) >= 47, path
    m = meta.get(name.decode(), {})
    out[name.decode()] = {"record": rest[:47].hex().upper(), "tags": m.get("tags", []), "notes": m.get("notes", "")}
print(json.dumps(out))
PY
}

# run_pair ROW I: starts both commands of a row at once, waits for both.
run_pair() {
  local row="$1" i="$2" a b
  case "$row" in
    tag/tag)
      "$korvane" presets tag "Base 1" "x$i" >"$work/a.out" 2>"$work/a.err" & a=$!
      "$korvane" presets tag "Base 2" "y$i" >"$work/b.out" 2>"$work/b.err" & b=$! ;;
    tag/note)
      "$korvane" presets tag "Base 3" "x$i" >"$work/a.out" 2>"$work/a.err" & a=$!
      "$korvane" presets note "Base 4" "note $i" >"$work/b.out" 2>"$work/b.err" & b=$! ;;
    import/import)
      "$korvane" presets import "$work/same-a.tessivar.json" >"$work/a.out" 2>"$work/a.err" & a=$!
      "$korvane" presets import "$work/same-b.tessivar.json" >"$work/b.out" 2>"$work/b.err" & b=$! ;;
    import/tag)
      "$korvane" presets import "$work/many.tessivar.json" >"$work/a.out" 2>"$work/a.err" & a=$!
      "$korvane" presets tag "Base 5" "x$i" >"$work/b.out" 2>"$work/b.err" & b=$! ;;
  esac
  wait "$a"; status_a=$?
  wait "$b"; status_b=$?
}

for row in tag/tag tag/note import/import import/tag; do
  lost=0 dishonest=0
  for i in $(seq 1 "$pairs"); do
    before="$(snapshot)"
    run_pair "$row" "$i"
    after="$(snapshot)"
    # Each side's own claim, checked against the files.
    if ! python3 - "$row" "$i" "$status_a" "$status_b" "$work" "$before" "$after" <<'PY'
import json, sys, re
row, i, sa, sb, work = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
before, after = json.loads(sys.argv[6]), json.loads(sys.argv[7])
def names_imported(side, src):
    text = open(work + "/" + side + ".out").read()
    out = []
    for m in re.finditer(r'^Imported "([^"]*)"(?: as "([^"]*)")?$', text, re.M):
        out.append((m.group(1), m.group(2) or m.group(1)))
    return out
problems = []
# Nothing listed before is gone or changed (tags only grow here).
for n, v in before.items():
    if n not in after: problems.append("lost " + n)
    elif after[n]["record"] != v["record"]: problems.append("record of %s changed" % n)
    elif not set(v["tags"]) <= set(after[n]["tags"]): problems.append("tags of %s lost" % n)
def tagged(name, tag, status):
    if status != 0: problems.append("tag on %s exited %d" % (name, status)); return
    if tag not in after.get(name, {}).get("tags", []): problems.append("tag %s on %s lost (exit 0)" % (tag, name))
def import_ok(side, status, src):
    if status != 0: problems.append("import %s exited %d" % (side, status)); return
    recs = {p["name"]: p["record"] for p in json.load(open(src))["presets"]}
    got = names_imported(side, src)
    if len(got) != len(recs): problems.append("import %s says %d imported" % (side, len(got)))
    for wanted, name in got:
        if name in before: problems.append("import %s replaced %s" % (side, name))
        elif after.get(name, {}).get("record") != recs[wanted]: problems.append("import %s: %s lost or wrong" % (side, name))
if row == "tag/tag": tagged("Base 1", "x" + i, sa); tagged("Base 2", "y" + i, sb)
if row == "tag/note":
    tagged("Base 3", "x" + i, sa)
    if sb != 0 or after["Base 4"]["notes"] != "note " + i: problems.append("note lost (exit %d)" % sb)
if row == "import/import":
    import_ok("a", sa, work + "/same-a.tessivar.json"); import_ok("b", sb, work + "/same-b.tessivar.json")
    if len(after) != len(before) + 2: problems.append("list grew by %d, not 2" % (len(after) - len(before)))
if row == "import/tag":
    import_ok("a", sa, work + "/many.tessivar.json"); tagged("Base 5", "x" + i, sb)
if problems:
    print("     " + row + " pair " + i + ": " + "; ".join(problems[:4]))
    sys.exit(1)
PY
    then lost=$((lost + 1)); fi
  done
  check "$row: $pairs pairs at once, nothing lost, every exit status honest" test "$lost" -eq 0
done

# --- kills during import ---
make_file "$work/big.tessivar.json" 3000 Killed 7
broken=0
for k in $(seq 1 "$kills"); do
  before="$(snapshot)"
  "$korvane" presets import "$work/big.tessivar.json" >/dev/null 2>&1 &
  victim=$!
  # The moment varies from run to run: before the lock, among the preset
  # files, at the list, at library.json.
  sleep "0.$(( (k * 37) % 100 ))"
  kill -KILL "$victim" 2>/dev/null
  wait "$victim" 2>/dev/null
  "$korvane" presets list >"$work/l.out" 2>"$work/l.err"; status=$?
  after="$(snapshot 2>"$work/snap.err")" || after=""
  if [[ "$status" -ne 0 || -z "$after" ]] || ! python3 - "$before" "$after" <<'PY'
import json, sys
before, after = json.loads(sys.argv[1]), json.loads(sys.argv[2])
bad = [n for n, v in before.items() if after.get(n, {}).get("record") != v["record"] or
       not set(v["tags"]) <= set(after.get(n, {}).get("tags", []))]
if bad: print("     lost after a kill: " + ", ".join(bad[:5])); sys.exit(1)
PY
  then broken=$((broken + 1)); echo "     kill $k: list exit $status"; cat "$work/l.err" "$work/snap.err" | head -3; fi
done
check "$kills imports killed at varied moments: library consistent, nothing listed lost" test "$broken" -eq 0

# What the kills left unlisted is never written over by the next import.
strays="$(comm -23 <(ls "$presets" | grep '\.lop$' | sed "s|^|$presets/|" | sort) <(sort "$presets/presets.lst"))"
first_stray="$(head -n1 <<<"$strays")"
if [[ -n "$first_stray" ]]; then
  stray_name="$(basename "$first_stray" .lop)"
  cp "$first_stray" "$work/stray.before"
  python3 - "$work/pedal.tessivar.json" "$work/stray.tessivar.json" "$stray_name" <<'PY'
import json, sys
rec = json.load(open(sys.argv[1]))["presets"][9]["record"]
json.dump({"format": "tessivar-presets", "version": 1, "presets": [{"name": sys.argv[3], "record": rec}]}, open(sys.argv[2], "w"))
PY
  "$korvane" presets import "$work/stray.tessivar.json" >"$work/st.out" 2>&1; status=$?
  check "an import of an unlisted file's name exits 0" test "$status" -eq 0
  check "it is given another name" grep -qF "Imported \"$stray_name\" as " "$work/st.out"
  check "the unlisted file is not written over" cmp -s "$first_stray" "$work/stray.before"
fi

exit "$failures"

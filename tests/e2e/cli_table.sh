#!/usr/bin/env bash
# The command line as a scripting user meets it, one table a group, against
# the simulated pedal with no display: options (anywhere, refused or applied,
# never ignored), help texts, the JSON every --json prints, the one voice of
# the error lines, and faults found in earlier rounds.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY

presets="$HOMEDRIVE/Brakwell/Korvane/presets"

# row "what" STATUS OUT-REGEX ERR-REGEX -- korvane-args...
# Runs korvane with standard input from $row_in (default /dev/null); checks
# the exit status and that standard output / error match (an empty regex
# checks nothing; "^$" checks empty). A regex starting with "!" must NOT match.
row_in=/dev/null
row() {
  local what="$1" want="$2" out_re="$3" err_re="$4"
  shift 5
  "$korvane" "$@" <"$row_in" >"$work/row.out" 2>"$work/row.err"
  local status=$? ok=1
  [[ "$status" -eq "$want" ]] || ok=0
  matches() {   # matches REGEX FILE
    local re="$1" file="$2"
    [[ -z "$re" ]] && return 0
    [[ "$re" == "^$" ]] && { [[ ! -s "$file" ]]; return; }
    if [[ "$re" == !* ]]; then ! grep -qE -- "${re#!}" "$file"; else grep -qE -- "$re" "$file"; fi
  }
  matches "$out_re" "$work/row.out" || ok=0
  matches "$err_re" "$work/row.err" || ok=0
  if [[ $ok -eq 1 ]]; then
    echo "ok   - $what"
  else
    echo "FAIL - $what (status $status, want $want)"
    sed 's/^/  out: /' "$work/row.out" | head -5
    sed 's/^/  err: /' "$work/row.err" | head -5
    failures=$((failures + 1))
  fi
}

start_sim --serial TSV0999K --state "$work/pedal.state"
tty="$(cut -f1 "$devices" | head -n1)"

echo "# options"
row "options before the command: --port" 0 '^ 1  PC\.0 ' '' -- --port "$tty" list
row "options before the command: --verbose" 0 '' 'ReadAll' -- --verbose list
row "--quiet keeps the result and drops the status lines" 0 '^32  PC\.31' '^$' -- list --quiet
row "unknown options are named in the order given" 2 '^$' 'korvane list: unknown options --aa, --bb, --cc\.' -- list --aa --bb --cc
row "extra arguments are named in the order given" 2 '^$' 'korvane list: list takes no arguments; given: a b c\.' -- list a b c
row "presets export --all --tag applies the filter" 0 'Exported 0 presets' '' -- presets export --all --tag live "$work/none.tessivar.json"
row "presets list refuses --all and --slots" 2 '^$' 'korvane presets: presets list does not take --all, --slots\.' -- presets list --all --slots 1-3
row "globals save refuses --json (as JSON too)" 2 '"error": "usage"' 'globals save does not take --json' -- globals save --json "$work/g.bin"
row "backup refuses --yes" 2 '^$' 'backup does not take --yes' -- backup --yes
row "a value option given twice is refused" 2 '^$' '--port is given twice' -- list --port a --port b
row "a value joined with =" 0 '^ 1  PC\.0 ' '' -- list --port="$tty"
row "-- ends the options" 2 '^$' 'list takes no arguments; given: --json' -- list -- --json

echo "# - for input"
"$korvane" backup "$work/b.bkp" >/dev/null 2>&1
"$korvane" read 2 "$work/two.lop" >/dev/null 2>&1
"$korvane" globals save "$work/g.bin" >/dev/null 2>&1
row_in="$work/b.bkp"
row "restore - reads the backup from standard input" 0 'Restored 32 presets from standard input' '' -- restore --yes --no-backup -
row_in="$work/two.lop"
row "write - reads the preset from standard input" 0 'Stored standard input in slot 9' '' -- write --yes 9 -
row_in="$work/g.bin"
row "globals load - reads the record from standard input" 0 'loaded from standard input and verified' '' -- globals load --yes -
"$korvane" presets export --slots 1-2 "$work/two.tessivar.json" >/dev/null 2>&1
row_in="$work/two.tessivar.json"
row "presets import - reads standard input" 0 'Imported "Lush Chorus"' '' -- presets import -
row_in=/dev/null
row "restore - of nothing is a bad file" 2 '^$' 'korvane restore: standard input is 0 bytes long' -- restore --yes -

echo "# help"
for c in list arp backup restore read write globals firmware library factory-reset copy swap move presets setlist; do
  row "$c --help has no parser leftovers" 0 '!Operands|see below|VALUE|\.\.\. \]' '^$' -- "$c" --help
done
row "arp --help shows save as the former name of store" 0 'save +the former name of store' '' -- arp --help
row "move --help speaks no window words" 0 '!dragging|Move here' '' -- move --help
"$korvane" --help >"$work/help.txt"
for c in list arp backup restore read write globals firmware library factory-reset copy swap move presets setlist; do
  "$korvane" "$c" --help >>"$work/help.txt"
done
check "help lines fit 80 columns" test "$(awk 'length > 80' "$work/help.txt" | wc -l)" -eq 0

echo "# JSON"
json_check() {   # json_check "what" PYTHON-EXPRESSION-ON-j -- korvane-args...
  local what="$1" expr="$2"
  shift 3
  "$korvane" "$@" >"$work/j.out" 2>/dev/null
  check "$what" python3 - "$work/j.out" "$expr" <<'PY'
import json, re, sys
text = open(sys.argv[1]).read()
j = json.loads(text)
def keys(v):
    if isinstance(v, dict):
        for k, x in v.items():
            yield k
            # A .tessivar.json's options are keyed by the Dashboard's labels.
            if k != "options":
                yield from keys(x)
    elif isinstance(v, list):
        for x in v:
            yield from keys(x)
bad = [k for k in keys(j) if not re.fullmatch(r"[a-z0-9]+(_[a-z0-9]+)*", k)]
indented = all(len(l) - len(l.lstrip(" ")) in range(0, 40, 2) for l in text.splitlines())
ok = not bad and indented and eval(sys.argv[2])
if not ok:
    print("keys not snake_case:", bad, "indented:", indented, file=sys.stderr)
sys.exit(0 if ok else 1)
PY
}
json_check "list --json: numbers, booleans, bypass_on_program_change" \
  'isinstance(j["slots"][0]["slot"], int) and isinstance(j["slots"][0]["bypass_on_program_change"], bool)' -- list --json
json_check "globals show --json: snake_case keys, numbers as numbers" \
  'isinstance(j["midi_channel"], int) and all(isinstance(v, int) for v in j["cc"].values()) and isinstance(j["input_pad_6db"], bool)' \
  -- globals show --json
json_check "arp show --json" 'j["slot"] == 1 and len(j["engines"]) == 2' -- arp show 1 --json
json_check "presets list --json" 'isinstance(j, list) and isinstance(j[0]["favourite"], bool)' -- presets list --json
json_check "presets show --json: the record and the decoded view" \
  'len(j["record"]) == 94 and "bypass_on_program_change" in j["decoded"]' -- presets show "Lush Chorus" --json
"$korvane" setlist save Gig "Lush Chorus" >/dev/null 2>&1
json_check "setlist list --json" 'j == [{"name": "Gig", "presets": 1}]' -- setlist list --json
json_check "setlist show --json" 'j == {"name": "Gig", "presets": ["Lush Chorus"]}' -- setlist show Gig --json

echo "# library actions"
row "presets favourite" 0 '"Lush Chorus" is a favourite' '' -- presets favourite "Lush Chorus"
row "presets list --favourites --sort dsp-x" 0 '^\* Lush Chorus' '' -- presets list --favourites --sort dsp-x
row "presets rename" 0 'renamed "Verse Chorus"' '' -- presets rename "Lush Chorus" "Verse Chorus"
row "the favourite follows the rename" 0 '^\* Verse Chorus' '' -- presets list --favourites
row "presets delete without a terminal needs --yes" 2 '^$' 'korvane presets: .*not done without --yes' -- presets delete "Verse Chorus"
row "presets delete --yes" 0 'Deleted "Verse Chorus"' '' -- presets delete --yes "Verse Chorus"
row "setlist delete --yes" 0 'Setlist "Gig" deleted' '' -- setlist delete --yes Gig
mkdir -p "$work/slots"
row "read 1-3 DIR/ writes one file a slot" 0 'slots/Lush Chorus\.lop' '' -- read 1-3 "$work/slots/"
check "three files in the folder" test "$(ls "$work/slots" | wc -l)" -eq 3

echo "# voice"
second="$("$korvane" presets list 2>/dev/null | head -n1 | cut -f1 | cut -c3-)"
row "one preset is one preset" 0 'saved \(1 preset\)' '' -- setlist save One "$second"
row "an unknown command" 2 '^$' "^korvane: unknown command 'frob'" -- frob
row "every error line of a failed read names the command" 2 '^$' '^korvane read: ' -- read 5 /no/such/folder/x.lop

echo "# faults"
check "read to a folder that is not there asked the pedal nothing" bash -c "! grep -q 'read 5' '$work/row.err'"
printf 'x' >"$work/bad.bkp"
"$korvane" backup "$work/code.bkp" >/dev/null 2>&1
# Slot 4's DSP-X algorithm (byte 33 of its 35) becomes 40, outside the catalogue.
printf '\x28' | dd of="$work/code.bkp" bs=1 seek=$((3 * 35 + 33)) conv=notrunc 2>/dev/null
row "restore --force of an algorithm code above 37" 0 '' '' -- restore --yes --no-backup --force "$work/code.bkp"
row "list shows it as unknown" 0 '^ 4 .*X: unknown \(code 40\)' '' -- list
row "list --json shows it as unknown" 0 '"algorithm_x": "unknown \(code 40\)"' '' -- list --json
row "arp show shows it as unknown" 0 'DSP-X  unknown \(code 40\)' '' -- arp show 4
"$korvane" restore --yes --no-backup "$work/b.bkp" >/dev/null 2>&1
"$korvane" list >/dev/full 2>"$work/full.err"; status=$?
check "list > /dev/full exits 1 and says so" bash -c "[ $status -eq 1 ] && grep -q 'korvane list: cannot write to standard output' '$work/full.err'"
"$korvane" globals show >/dev/full 2>"$work/full.err"; status=$?
check "globals show > /dev/full exits 1 and says so" bash -c "[ $status -eq 1 ] && grep -q 'korvane globals: cannot write to standard output' '$work/full.err'"
# A title holding an escape sequence and a bell (restored with --force).
cp "$work/b.bkp" "$work/hostile.bkp"
printf '\x1b[31mred\x07    ' | dd of="$work/hostile.bkp" bs=1 seek=$((32 * 35 + 5 * 12)) conv=notrunc 2>/dev/null
row "restore --force of a hostile title" 0 '' '' -- restore --yes --no-backup --force "$work/hostile.bkp"
row "list prints the hostile title escaped" 0 '^ 6  .*\\x1b\[31mred\\x07' '' -- list
check "no raw escape byte reaches the terminal" bash -c "! grep -q $'\x1b' '$work/row.out'"
# A library preset from that slot breaks the editor's rules (its title).
row "read 6-6 into the presets folder joins the library" 0 'presets/Preset 6\.lop' '' -- read 6-6 "$presets/"
"$korvane" restore --yes --no-backup "$work/b.bkp" >/dev/null 2>&1
"$korvane" setlist save Solo "Preset 6" >/dev/null 2>&1

# On a terminal (script(1) gives one): questions, and counts of progress.
on_tty() {   # on_tty OUT ANSWER COMMAND...
  local out="$1" answer="$2" cmd=""
  shift 2
  printf -v cmd '%q ' "$@"
  printf '%s' "$answer" | timeout 120 script -qec "$cmd" /dev/null >"$out" 2>&1
}
on_tty "$work/sl.tty" $'n\n' "$korvane" setlist write One 5; status=$?
check "setlist write answered no exits 3, like every other command" test "$status" -eq 3
row "setlist write of a preset that breaks the rules advises --force" 2 '^$' '--force stores it as it is' -- setlist write --yes --no-backup Solo 5
row "and setlist write --force takes it" 0 'written into slots 5-5' '' -- setlist write --yes --no-backup --force Solo 5
on_tty "$work/fr.tty" "" "$korvane" factory-reset --yes --no-backup
check "factory-reset counts slot n/32 on a terminal" in_order "$work/fr.tty" "slot 1/32" "slot 32/32"
on_tty "$work/mv.tty" "" "$korvane" move --yes --no-backup 2 6
check "move counts the slots rewritten on a terminal" in_order "$work/mv.tty" "rewritten 1/5" "rewritten 5/5"
on_tty "$work/q.tty" "" "$korvane" move --yes --no-backup --quiet 6 2
check "--quiet drops the counts" bash -c "! grep -q 'rewritten 1/5' '$work/q.tty'"
"$korvane" restore --yes --no-backup "$work/b.bkp" >/dev/null 2>&1
stop_sim
start_sim --serial TSV0999K --state "$work/pedal.state" --spoil-header 10
row "a spoiled store header: the slot may hold a damaged preset" 1 '^$' 'slot 7 may hold a damaged preset' -- write --yes 7 "$work/two.lop"
row "and never 'No changes has been made'" 1 '^$' '!No changes' -- write --yes 7 "$work/two.lop"
stop_sim
row "no pedal: said once, with --json as an error object" 1 '"error": "no_pedal"' 'korvane list: no pedal found' -- list --json
check "no pedal found is said once" test "$(grep -c 'no pedal found' "$work/row.err")" -eq 1
chmod 000 "$presets/setlists" 2>/dev/null
if [[ "$(id -u)" -ne 0 ]]; then
  row "setlist save that cannot write exits 1" 1 '^$' 'korvane setlist: ' -- setlist save Later "Preset 2"
fi
chmod 755 "$presets/setlists" 2>/dev/null

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

#!/usr/bin/env bash
# The command line as a user at a terminal meets it, against the simulated
# pedal, with no display: questions on a pseudo-terminal (`script`) and a "no"
# that exits 3, the counts a long transfer shows there ("slot 7/32", "block
# 12/45", "page 80/256"), --json parsed, every command's help naming every
# option it takes, --version, the message without a display, and no window
# wording (buttons, menus, what the window displays, other systems' folders)
# in anything any command printed.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY
all="$work/all-output.txt"   # everything every command printed, for the wording check
: >"$all"

# on_tty OUT COMMAND...: runs the command on a pseudo-terminal (stdin too),
# typing the lines of $answer; the terminal's output goes to OUT.
on_tty() {
  local out="$1" cmd=""
  shift
  printf -v cmd '%q ' "$@"
  printf '%s' "${answer:-}" | timeout 120 script -qec "$cmd" /dev/null >"$out" 2>&1
  local status=$?
  tr '\r' '\n' <"$out" >>"$all"
  return $status
}
# plain OUT ERR COMMAND...: standard output and error to files, no terminal.
plain() {
  local out="$1" err="$2"
  shift 2
  timeout 120 "$@" >"$out" 2>"$err" </dev/null
  local status=$?
  cat "$out" "$err" >>"$all"
  return $status
}

echo "# --version and no display"
plain "$work/v.out" "$work/v.err" "$korvane" --version; status=$?
check "korvane --version prints 'korvane 2.5.1' and exits 0" bash -c "[ $status -eq 0 ] && [ \"\$(cat '$work/v.out')\" = 'korvane 2.5.1' ]"
plain "$work/sv.out" "$work/sv.err" "$sim" --version; status=$?
check "tessivar-sim --version prints its version" bash -c "[ $status -eq 0 ] && grep -qx 'tessivar-sim 2.5.1' '$work/sv.out'"
plain "$work/nd.out" "$work/nd.err" "$korvane"; status=$?
check "no display: exit 2" test "$status" -eq 2
check "no display: the window needs a display" grep -q "the editor window needs a display" "$work/nd.err"
check "no display: the commands work without one" grep -q "The commands work without one: \`korvane --help\`" "$work/nd.err"

echo "# help: every command's usage and options name every option it takes"
declare -A takes=(
  [list]="--json" [arp]="--yes --json" [backup]="" [restore]="--yes --no-backup --force" [read]="" [write]="--yes --force"
  [globals]="--yes --json" [firmware]="--yes --no-backup --allow-downgrade" [library]="--yes --no-backup"
  [factory-reset]="--yes --no-backup" [copy]="--yes" [swap]="--yes --no-backup"
)
plain "$work/help.out" "$work/help.err" "$korvane" --help
for c in "${!takes[@]}"; do
  check "--help lists $c" grep -qE "^  $c " "$work/help.out"
  plain "$work/h.out" "$work/h.err" "$korvane" "$c" --help; status=$?
  usage="$(sed -n '/^Usage: /,/^$/p' "$work/h.out")"
  ok=1
  for o in ${takes[$c]}; do
    [[ "$usage" == *"[$o"* ]] || { echo "     $c: usage lacks $o"; ok=0; }
  done
  # The options every command takes are listed below its own, not in its usage.
  for o in ${takes[$c]} --port --verbose --quiet; do
    grep -qE "^ +(-[a-z], )?$o\b" "$work/h.out" || { echo "     $c: options lack $o"; ok=0; }
  done
  for o in --yes --no-backup --json --allow-downgrade --force; do
    [[ " ${takes[$c]} " == *" $o "* ]] && continue
    [[ "$usage" != *"$o"* ]] || { echo "     $c: usage names $o it does not take"; ok=0; }
  done
  check "$c --help: exit 0, usage and options name exactly what it takes" test "$status" -eq 0 -a "$ok" -eq 1
done
plain "$work/bad.out" "$work/bad.err" "$korvane" backup --yes; status=$?
check "an option a command does not take: exit 2 with the command's usage" \
  bash -c "[ $status -eq 2 ] && grep -q '^Usage: korvane backup' '$work/bad.err'"

start_sim --serial TSV0777K --state "$work/pedal.state"

echo "# list: a header, then slot, PC number and bank-patch on one line"
plain "$work/list.out" "$work/list.err" "$korvane" list
check "list: the header line" grep -qE '^ #  PC +Bank  Title' <(head -n1 "$work/list.out")
check "list: slot 20 is PC.19 and 10-B" grep -qE '^20  PC\.19  10-B  ' "$work/list.out"

echo "# --json"
plain "$work/list.json" "$work/lj.err" "$korvane" list --json; status=$?
check "list --json exits 0" test "$status" -eq 0
check "list --json: 32 slots with slot, PC, bank-patch, title, algorithms and switches, as list shows them" \
  python3 - "$work/list.json" "$work/list.out" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
rows = open(sys.argv[2]).read().splitlines()[1:]
assert d["serial_number"] == "TSV0777K" and d["firmware"] == "2.5.0", d
assert [s["slot"] for s in d["slots"]] == list(range(1, 33))
for s, row in zip(d["slots"], rows):
    assert s["pc"] == s["slot"] - 1
    assert row.split()[:3] == [str(s["slot"]), "PC.%d" % s["pc"], s["bank_patch"]], (s, row)
    assert s["title"].strip() and s["title"].strip() in row, (s, row)
    assert ("X: " + s["algorithm_x"]) in row and ("Y: " + s["algorithm_y"]) in row
    assert isinstance(s["auto_stomp"], bool) and isinstance(s["bypass_on_program_change"], bool)
assert d["slots"][19]["bank_patch"] == "10-B"
PY
plain "$work/g.json" "$work/gj.err" "$korvane" globals show --json; status=$?
plain "$work/g.out" "$work/g.err" "$korvane" globals show
check "globals show --json: the values of globals show, numbers as numbers" \
  python3 - "$work/g.json" "$work/g.out" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
lines = dict(l.split(": ", 1) for l in open(sys.argv[2]).read().splitlines())
assert len(d["cc"]) == 29, len(d["cc"])
assert "Channel %d" % d["midi_channel"] == lines["MIDI Channel"], (d["midi_channel"], lines["MIDI Channel"])
assert str(d["preset_pages"]) == lines["Preset Pages"]
assert d["favourite_preset"] == lines["Fave Preset"]
assert sorted(d["cc"].values()) == sorted(int(v) for k, v in lines.items() if k.startswith("CC "))
PY
# A preset playing an arp sequence: slot 20's engines, whatever they are.
plain "$work/a.json" "$work/aj.err" "$korvane" arp show 20 --json; status=$?
plain "$work/a.out" "$work/a.err" "$korvane" arp show 20
check "arp show --json: both engines, their algorithms and levels as arp show prints them" \
  python3 - "$work/a.json" "$work/a.out" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
lines = open(sys.argv[2]).read().splitlines()
assert d["slot"] == 20 and [e["engine"] for e in d["engines"]] == ["DSP-X", "DSP-Y"]
for e, line in zip(d["engines"], lines):
    assert line.startswith(e["engine"] + "  " + e["algorithm"]), (e, line)
    if e["levels"] is not None:
        assert ("%d steps:" % len(e["levels"])) in line and all(0 <= v <= 100 for v in e["levels"])
PY

echo "# questions on a terminal"
answer=$'n\n' on_tty "$work/no.tty" "$korvane" copy 3 12; status=$?
check "copy answered no: exit 3" test "$status" -eq 3
check "copy answered no: the question was asked" grep -q "\[y/N\]" "$work/no.tty"
check "copy answered no: nothing stored" bash -c "! grep -q 'Store preset' '$sim_log'"
answer=$'n\n' on_tty "$work/no2.tty" "$korvane" factory-reset; status=$?
check "factory-reset answered no: exit 3" test "$status" -eq 3
plain "$work/ny.out" "$work/ny.err" "$korvane" copy 3 12; status=$?
check "no terminal and no --yes: exit 2" test "$status" -eq 2

echo "# counts on a terminal"
"$korvane" backup "$work/b.bkp" >/dev/null 2>&1
answer="" on_tty "$work/restore.tty" "$korvane" restore --yes "$work/b.bkp"; status=$?
check "restore exits 0" test "$status" -eq 0
check "restore counts the slots: slot 1/32, 7/32 ... 32/32" \
  in_order "$work/restore.tty" "slot 1/32" "slot 7/32" "slot 32/32"
check "restore: no percentage bar" bash -c "! grep -qE '[0-9]+%|\[#' '$work/restore.tty'"
plain "$work/r.out" "$work/r.err" "$korvane" restore --yes "$work/b.bkp"
check "restore without a terminal: no counts" bash -c "! grep -q 'slot 1/32' '$work/r.err'"
answer="" on_tty "$work/library.tty" "$korvane" library --yes --no-backup; status=$?
check "library exits 0" test "$status" -eq 0
check "library counts the blocks: block 1/45, 12/45 ... 45/45" \
  in_order "$work/library.tty" "block 1/45" "block 12/45" "block 45/45"
answer="" on_tty "$work/fr.tty" "$korvane" factory-reset --yes --no-backup
answer="" on_tty "$work/swap.tty" "$korvane" swap --yes --no-backup 1 2
answer="" on_tty "$work/write.tty" "$korvane" read 4 "$work/four.lop"
answer="" on_tty "$work/write.tty" "$korvane" write --yes 5 "$work/four.lop"
answer="" on_tty "$work/gl.tty" "$korvane" globals save "$work/g.bin"
answer="" on_tty "$work/gl.tty" "$korvane" globals load --yes "$work/g.bin"
answer="" on_tty "$work/arp.tty" "$korvane" arp save --yes ARPGTR 2 factory 3
stop_sim

echo "# firmware: the sample package, a downgrade, a missing file"
start_sim --update-mode
answer="" on_tty "$work/fw.tty" "$korvane" firmware --yes --no-backup "$build/sample-firmware.fdt"; status=$?
check "the sample package updates the simulated pedal: exit 0" test "$status" -eq 0
check "firmware counts the pages: page 1/256, 80/256 ... 256/256" \
  in_order "$work/fw.tty" "page 1/256" "page 80/256" "page 256/256"
check "firmware: the next step is the command's own" grep -q "Next: korvane library --yes" "$work/fw.tty"
stop_sim
start_sim --update-mode --firmware 2.5.3
"$build/tools/make_firmware_package" "$work/old.fdt" --firmware 2.4.0 --image-bytes 512 >/dev/null
plain "$work/dg.out" "$work/dg.err" "$korvane" firmware --yes --no-backup "$work/old.fdt"; status=$?
check "an older package without --allow-downgrade and no terminal: exit 2, nothing sent" \
  bash -c "[ $status -eq 2 ] && ! grep -q 'Firmware page' '$sim_log' && grep -q 'older than the pedal' '$work/dg.err'"
answer=$'n\n' on_tty "$work/dg.tty" "$korvane" firmware --yes --no-backup "$work/old.fdt"; status=$?
check "an older package on a terminal asks even with --yes; no: exit 3" \
  bash -c "[ $status -eq 3 ] && grep -q 'Go back to 2.4.0?' '$work/dg.tty' && ! grep -q 'Firmware page' '$sim_log'"
plain "$work/dg2.out" "$work/dg2.err" "$korvane" firmware --yes --no-backup --allow-downgrade "$work/old.fdt"; status=$?
check "--allow-downgrade --yes: the older package is sent" bash -c "[ $status -eq 0 ] && grep -q 'Firmware page' '$sim_log'"
plain "$work/miss.out" "$work/miss.err" "$korvane" firmware --yes --no-backup "$work/nothere.fdt"; status=$?
check "a missing package: exit 2, 'no such file'" bash -c "[ $status -eq 2 ] && grep -q 'nothere.fdt: no such file' '$work/miss.err'"
stop_sim

echo "# failures: no pedal, no answer, corrupted echoes"
plain "$work/f1.out" "$work/f1.err" "$korvane" list
start_sim --no-answer
plain "$work/f2.out" "$work/f2.err" "$korvane" list
stop_sim
start_sim --corrupt-echo 1000000
plain "$work/f3.out" "$work/f3.err" "$korvane" write --yes 5 "$work/four.lop"
plain "$work/f4.out" "$work/f4.err" "$korvane" library --yes --no-backup
plain "$work/f5.out" "$work/f5.err" "$korvane" restore --yes --no-backup "$work/b.bkp"
stop_sim
start_sim --vanish-after 12
plain "$work/f6.out" "$work/f6.err" "$korvane" restore --yes --no-backup "$work/b.bkp"
stop_sim

echo "# no window wording anywhere"
check "everything printed: $(wc -l <"$all") lines" test "$(wc -l <"$all")" -gt 200
for phrase in "click 'Connect'" "Connect'" "is now displayed" "as displayed" "UPDATE LIBRARY" "Menu ->" "(Mac)" "(Win)" \
              "Documents/" "C:/" "Proceed to" "Installation Guide" "will now close"; do
  check "no '$phrase'" bash -c "! grep -qF -- \"\$1\" '$all'" _ "$phrase"
done

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

#!/usr/bin/env bash
# Nothing lost, end to end with the real binaries and no display, against
# tessivar-sim: a Store header spoiled on the way is caught by the read-back
# (and a restore's and factory reset's final compare); outputs that are not
# regular files are refused before the pedal is asked, "-" is standard
# output and a link is followed to its file; the safety backups keep the file
# being restored; random preset data is refused unless --force; leftovers of a
# killed run are gone after the next start.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY

presets="$HOMEDRIVE/Brakwell/Korvane/presets"
start_sim --state "$work/pedal.state"
"$korvane" read 4 "$work/slot.lop" >/dev/null 2>&1
"$korvane" backup "$work/full.bkp" >/dev/null 2>&1
stop_sim
check "preset file to store" test -s "$work/slot.lop"
check "backup to restore" test "$(stat -c %s "$work/full.bkp" 2>/dev/null)" = 1504

# --- a spoiled header ---
start_sim --state "$work/pedal.state" --spoil-header 1
"$korvane" write --yes 6 "$work/slot.lop" >"$work/w1.out" 2>"$work/w1.err"; status=$?
check "spoiled once: write is retried and exits 0" test "$status" -eq 0
stop_sim
start_sim --state "$work/pedal.state" --spoil-header 1000000
"$korvane" write --yes 6 "$work/slot.lop" >"$work/w2.out" 2>"$work/w2.err"; status=$?
check "spoiled always: write exits 1" test "$status" -eq 1
check "spoiled always: nothing says Stored" test ! -s "$work/w2.out"
check "spoiled always: the read-back is named" grep -q "the preset read back differs" "$work/w2.err"
stop_sim
for cmd in "restore --no-backup $work/full.bkp" "factory-reset --no-backup"; do
  start_sim --state "$work/pedal.state" --spoil-header 1
  # shellcheck disable=SC2086
  "$korvane" $cmd --yes >"$work/s.out" 2>"$work/s.err"; status=$?
  check "spoiled once: ${cmd%% *} exits 1" test "$status" -eq 1
  stop_sim
done

# --- output targets ---
start_sim --state "$work/pedal.state"
mkfifo "$work/fifo"
mkdir "$work/folder"
ln -s /dev/null "$work/null-link"
for target in fifo folder null-link; do
  for cmd in "backup" "read 3" "globals save"; do
    # shellcheck disable=SC2086
    timeout 60 "$korvane" $cmd "$work/$target" >"$work/t.out" 2>"$work/t.err"; status=$?
    check "$cmd $target: refused with 2" test "$status" -eq 2
    check "$cmd $target: says what it is" grep -q "cannot write $work/$target: it is " "$work/t.err"
  done
done
check "the FIFO is still a FIFO" test -p "$work/fifo"
check "/dev/null is still a device" test -c /dev/null
"$korvane" backup - >"$work/stdout.bkp" 2>/dev/null; status=$?
check "backup - exits 0" test "$status" -eq 0
check "backup - writes the 1504 bytes to standard output" test "$(stat -c %s "$work/stdout.bkp")" -eq 1504
check "no file called -" test ! -e ./- -a ! -e "$HOMEDRIVE/-"
echo old >"$work/target.bkp"
ln -s "$work/target.bkp" "$work/link.bkp"
"$korvane" backup "$work/link.bkp" >/dev/null 2>&1; status=$?
check "backup through a link exits 0" test "$status" -eq 0
check "the link is still a link" test -L "$work/link.bkp"
check "the file it names holds the backup" cmp -s "$work/target.bkp" "$work/stdout.bkp"

# --- random presets ---
head -c 1504 /dev/urandom >"$work/noise.bkp"
"$korvane" restore --yes "$work/noise.bkp" >/dev/null 2>"$work/n.err"; status=$?
check "random backup refused with 2" test "$status" -eq 2
check "the first broken rule is named" grep -q "noise.bkp: preset " "$work/n.err"
check "random backup: --force is offered" grep -q -- "--force" "$work/n.err"

# --- the file being restored survives its own safety backup ---
for i in 1 2 3 4 5 6 7 8 9 10; do "$korvane" swap --yes 1 2 >/dev/null 2>&1; done
oldest=$(ls "$presets/autobackup/"Tessivar_AutoBackup_*.bkp | head -n1)
check "ten safety backups" test "$(ls "$presets/autobackup/"*.bkp | wc -l)" -eq 10
"$korvane" restore --yes "$oldest" >/dev/null 2>"$work/ro.err"; status=$?
check "restore of the oldest safety backup exits 0" test "$status" -eq 0
check "the oldest is still there" test -f "$oldest"
check "still ten safety backups" test "$(ls "$presets/autobackup/"*.bkp | wc -l)" -eq 10
stop_sim

# --- leftovers of a killed run ---
touch -d '2 hours ago' "$presets/.presets.lst.Ab12Cd" "$presets/autobackup/.$(basename "$oldest").x1Y2z3"
touch "$presets/.presets.lst.fresh1"
touch -d '2 hours ago' "$presets/.my-notes.txt.abcdef"
"$korvane" --help >/dev/null 2>&1
"$korvane" list >/dev/null 2>&1   # any command; no pedal needed
check "old temporary files of ours are gone" \
  test ! -e "$presets/.presets.lst.Ab12Cd" -a ! -e "$presets/autobackup/.$(basename "$oldest").x1Y2z3"
check "a fresh one stays" test -e "$presets/.presets.lst.fresh1"
check "a file not ours stays" test -e "$presets/.my-notes.txt.abcdef"

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

#!/usr/bin/env bash
# The preset commands end to end with no display, against the simulated
# pedal: backup (to the dated default and to a file), read and write of one
# slot through an offline preset file, restore bringing the pedal back byte
# for byte, bad files refused with nothing sent, and a pedal that goes away
# during a backup leaving the earlier backup as it was.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY

start_sim --serial TSV0888K --state "$work/pedal.state"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"

# Backup to the default dated name in the presets folder.
"$korvane" backup >"$work/b1.out" 2>"$work/b1.err"; status=$?
check "backup exits 0" test "$status" -eq 0
default="$(cat "$work/b1.out")"
check "backup prints the path in the presets folder, named by date and time" \
  grep -qE "^$presets/Tessivar_Backup_$(date +%Y-%m-%d)_[0-9]{2}-[0-9]{2}-[0-9]{2}\.bkp\$" "$work/b1.out"
check "the backup is 1504 bytes" test "$(stat -c %s "$default")" -eq 1504
check "no temporary file is left beside it" test "$(ls -A "$presets" | wc -l)" -eq 1
# Backups within one second never replace each other.
"$korvane" backup >"$work/b2.out" 2>/dev/null
"$korvane" backup >"$work/b3.out" 2>/dev/null
check "three backups, three files" test "$(ls -A "$presets" | wc -l)" -eq 3
check "each backup printed its own file" test "$(cat "$work/b1.out" "$work/b2.out" "$work/b3.out" | sort -u | wc -l)" -eq 3
rm -f "$(cat "$work/b2.out")" "$(cat "$work/b3.out")"

# One slot out to an offline preset file and back into another slot.
"$korvane" read 1 "$work/Lush One.lop" >"$work/r.out" 2>"$work/r.err"; status=$?
check "read exits 0 and prints the file" bash -c "[ $status -eq 0 ] && grep -qxF '$work/Lush One.lop' '$work/r.out'"
check "the preset file is its name line plus 48 bytes" test "$(stat -c %s "$work/Lush One.lop")" -eq $((8 + 48))
check "its first line is the name" bash -c "head -n1 '$work/Lush One.lop' | grep -qx 'Lush One'"
"$korvane" write 5 "$work/Lush One.lop" >/dev/null 2>"$work/w0.err" </dev/null; status=$?
check "write without --yes and no terminal refuses (2)" test "$status" -eq 2
"$korvane" write --yes 5 "$work/Lush One.lop" >"$work/w.out" 2>"$work/w.err"; status=$?
check "write --yes exits 0" test "$status" -eq 0
check "write reports the store" grep -q "Write (Store) operation successful." "$work/w.err"
"$korvane" list >"$work/list.out" 2>/dev/null
check "slot 5 now carries slot 1's title" \
  bash -c "[ \"\$(sed -n 2p '$work/list.out' | cut -c18-29)\" = \"\$(sed -n 6p '$work/list.out' | cut -c18-29)\" ]"

# Restore puts everything back as the backup had it.
"$korvane" restore --yes "$default" >"$work/rs.out" 2>"$work/rs.err"; status=$?
check "restore exits 0" test "$status" -eq 0
check "restore reports success" grep -q "Presets restore successful." "$work/rs.err"
"$korvane" backup "$work/after.bkp" >/dev/null 2>&1
check "after the restore the pedal holds the backup byte for byte" cmp -s "$default" "$work/after.bkp"

# Bad files: refused with status 2 before anything is sent.
head -c 1503 "$default" >"$work/short.bkp"
mkfifo "$work/fifo.bkp"
printf 'abc\n0123456789' >"$work/short.lop"
printf '%050d\n' 0 >"$work/longname.lop"
sent_before="$(grep -c ' byte: ' "$sim_log")"
for f in short.bkp fifo.bkp; do
  timeout 10 "$korvane" restore --yes "$work/$f" >/dev/null 2>"$work/bad.err"; status=$?
  check "restore of $f exits 2" test "$status" -eq 2
done
for f in short.lop longname.lop; do
  timeout 10 "$korvane" write --yes 3 "$work/$f" >/dev/null 2>"$work/badw.err"; status=$?
  check "write of $f exits 2" test "$status" -eq 2
done
check "nothing reached the pedal for the bad files" test "$(grep -c ' byte: ' "$sim_log")" -eq "$sent_before"
"$korvane" read 33 "$work/x.lop" >/dev/null 2>&1; status=$?
check "slot 33 is a usage error" test "$status" -eq 2
"$korvane" read 1 "$work/..lop" >/dev/null 2>&1; status=$?
check "a file name that makes the preset name '.' is refused" test "$status" -eq 2

# A restore whose first store is not echoed back correctly stops there and names the slot.
stop_sim
start_sim --serial TSV0888K --state "$work/pedal.state" --corrupt-echo 1
"$korvane" restore --yes "$default" >/dev/null 2>"$work/rf.err"; status=$?
check "a restore whose store fails exits 1" test "$status" -eq 1
check "it names the slot that failed" grep -q "storing slot 1 failed" "$work/rf.err"
check "it says what the slots hold, right for the first slot too" \
  grep -qF "slot 1 may hold the backup's preset or its old one; slots 2 to 32 are unchanged." "$work/rf.err"
check "and never counts slots 1 to 0" bash -c "! grep -q 'slots 1 to 0' '$work/rf.err'"
check "and reports the restore error, without the window's plea" bash -c "grep -q 'Preset restore failed\.\$' '$work/rf.err' && ! grep -q 'Please try again' '$work/rf.err'"

# A pedal that drops off the bus after connecting: the backup fails, says so,
# and the earlier backup of that name stays as it was.
stop_sim
start_sim --serial TSV0888K --state "$work/pedal.state" --vanish-after 3
cp "$default" "$work/earlier.bkp"
"$korvane" backup >"$work/gone.out" 2>"$work/gone.err"; status=$?
check "a backup from a pedal that goes away exits 1" test "$status" -eq 1
check "it says the backup failed" grep -q "korvane backup: failed" "$work/gone.err"
check "the earlier backup is unchanged" cmp -s "$default" "$work/earlier.bkp"
# (autobackup/ holds the safety backups the restores above took first.)
check "no partial or temporary file is left" test "$(ls -A "$presets" | grep -vx autobackup | wc -l)" -eq 1
check "nothing on standard output" test ! -s "$work/gone.out"

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

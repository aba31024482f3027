#!/usr/bin/env bash
# One operation per pedal: while one korvane restores the pedal (at the wire
# rate, so that it takes seconds), a second one asking for the pedal is told
# which program has it and ends with status 1 without sending anything; the
# restore goes on undisturbed and the pedal then holds the backup byte for
# byte.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY

start_sim --serial TSV0999K --state "$work/pedal.state" --pace

"$korvane" backup "$work/before.bkp" >/dev/null 2>&1
check "a backup to restore from" test "$(stat -c %s "$work/before.bkp")" -eq 1504
# Something to restore over: slot 1 copied into slot 2.
"$korvane" read 1 "$work/one.lop" >/dev/null 2>&1
"$korvane" write --yes 2 "$work/one.lop" >/dev/null 2>&1

"$korvane" restore --yes --no-backup --verbose "$work/before.bkp" >"$work/first.out" 2>"$work/first.err" &
first=$!
pids+=("$first")
# The restore has the port once it has said its first exchange.
for _ in $(seq 1 200); do
  grep -q "Device opened" "$work/first.err" 2>/dev/null && break
  sleep 0.02
done
"$korvane" write --yes 5 "$work/one.lop" >"$work/second.out" 2>"$work/second.err"; status=$?
check "the second program ends with status 1" test "$status" -eq 1
check "it is told which program has the pedal" \
  grep -qxF "korvane write: the pedal is in use by another program (pid $first)." "$work/second.err"
check "it does not say the pedal is missing" bash -c "! grep -q 'no pedal found' '$work/second.err'"
check "the restore was still running then" kill -0 "$first"

wait "$first"; status=$?
check "the restore ends with status 0" test "$status" -eq 0
check "and reports success" grep -q "Presets restore successful." "$work/first.err"
check "the restore was not interrupted by the second program" \
  bash -c "! grep -q 'FAILED\|TIMEOUT\|in use' '$work/first.err'"
"$korvane" backup "$work/after.bkp" >/dev/null 2>&1
check "the pedal holds the backup byte for byte" cmp -s "$work/before.bkp" "$work/after.bkp"

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

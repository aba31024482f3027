#!/usr/bin/env bash
# The command line end to end, with no display: `korvane list` against the
# simulated pedal (by the device list and by --port), the exit statuses of a
# missing pedal and of usage errors, and help texts.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY

start_sim --serial TSV0777K --state "$work/pedal.state"
tty="$(cut -f1 "$devices" | head -n1)"

"$korvane" list >"$work/list.out" 2>"$work/list.err"; status=$?
check "list exits 0" test "$status" -eq 0
check "list names the serial number and the firmware on standard error" \
  grep -qx "Serial No. TSV0777K  Firmware 2.5.0" "$work/list.err"
check "list prints a header line first" grep -qE '^ #  PC +Bank  Title' <(head -n1 "$work/list.out")
check "list prints 32 slots" test "$(tail -n +2 "$work/list.out" | wc -l)" -eq 32
check "slot 1 is PC.0, 1-A with its title and both algorithms" \
  grep -qE '^ 1  PC\.0    1-A  Lush Chorus +- -  X: CHORUS  Y: DIME\.C' "$work/list.out"
check "slot 20 is PC.19, 10-B" grep -qE '^20  PC\.19  10-B  ' "$work/list.out"
check "slot 32 is PC.31, 16-B" grep -qE '^32  PC\.31  16-B  ' "$work/list.out"
check "the link's console stays quiet without --verbose" bash -c "! grep -q 'ReadAll' '$work/list.err'"
check "the simulator saw Get Pedal State, ReadAll and Read preset 0" \
  in_order "$sim_log" " byte: c0" " byte: c4" " byte: 00"

: >"$devices"
"$korvane" list --port "$tty" >"$work/port.out" 2>/dev/null; status=$?
check "--port reaches the pedal without the device list" test "$status" -eq 0
check "--port lists 32 slots" test "$(wc -l <"$work/port.out")" -eq 33
"$korvane" list --verbose --port "$tty" >/dev/null 2>"$work/verbose.err"
check "--verbose prints the console lines on standard error" grep -q "ReadAll (Params) successful" "$work/verbose.err"

stop_sim
"$korvane" list >"$work/none.out" 2>"$work/none.err"; status=$?
check "no pedal: exit 1" test "$status" -eq 1
check "no pedal: said once on standard error" test "$(grep -c "no pedal found" "$work/none.err")" -eq 1
check "no pedal: nothing on standard output" test ! -s "$work/none.out"

"$korvane" list extra >/dev/null 2>&1; status=$?
check "an extra argument is a usage error (2)" test "$status" -eq 2
"$korvane" list --frobnicate >/dev/null 2>&1; status=$?
check "an unknown option is a usage error (2)" test "$status" -eq 2
"$korvane" no-such-command >/dev/null 2>&1; status=$?
check "an unknown command is a usage error (2)" test "$status" -eq 2
"$korvane" --help >"$work/help.out"; status=$?
check "--help exits 0 and lists list" bash -c "[ $status -eq 0 ] && grep -q '^  list ' '$work/help.out'"
"$korvane" list --help >"$work/lhelp.out"; status=$?
check "list --help exits 0 with its usage" bash -c "[ $status -eq 0 ] && grep -q '^Usage: korvane list' '$work/lhelp.out'"

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

#!/usr/bin/env bash
# Pedal maintenance from the command line, with no display, against the
# simulated pedal: a firmware update of a pedal in update mode (and bad
# packages refused before anything is sent), the library update and the
# factory reset, and the refusal to overwrite without --yes.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY

# A package for firmware 2.3.5 with two note lines and two 1500-byte images.
"$build/tools/make_firmware_package" "$work/good.fdt" --firmware 2.3.5 --image-bytes 1500 \
  --note "Faster taps" --note "New arp sequences" >/dev/null
printf 'Z\n5\n' >"$work/short.fdt"
printf 'Z\n5\n3\nonly one note\n' >"$work/notes.fdt"
printf 'Z\n5\n0\n' >"$work/empty.fdt"
mkfifo "$work/pipe.fdt"

echo "# firmware: bad packages never reach the pedal"
start_sim --update-mode --firmware 2.2.0 --state "$work/pedal.state"
for bad in short notes empty pipe missing; do
  timeout 20 "$korvane" firmware --yes "$work/$bad.fdt" >"$work/bad.out" 2>"$work/bad.err"; status=$?
  check "firmware $bad.fdt: refused with status 2" test "$status" -eq 2
  if [[ $bad == missing ]]; then
    check "firmware missing.fdt: says no such file" grep -q "missing.fdt: no such file" "$work/bad.err"
    check "firmware missing.fdt: no error code, no 'corrupted'" bash -c "! grep -qE 'Error code|corrupted' '$work/bad.err'"
  else
    check "firmware $bad.fdt: the file error is reported" grep -q "Failed to open firmware package file" "$work/bad.err"
  fi
done
check "no page and no Set Version reached the pedal" bash -c "! grep -qE 'Firmware page|Set Version' '$sim_log'"

echo "# firmware: refused without --yes when nobody can be asked"
"$korvane" firmware "$work/good.fdt" </dev/null >/dev/null 2>"$work/noyes.err"; status=$?
check "without --yes: status 2" test "$status" -eq 2
check "without --yes: no page sent" bash -c "! grep -q 'Firmware page' '$sim_log'"

echo "# firmware: no safety backup can be taken in update mode"
"$korvane" firmware --yes "$work/good.fdt" >/dev/null 2>"$work/nobackup.err"; status=$?
check "without --no-backup: status 1" test "$status" -eq 1
check "without --no-backup: says why" grep -q "cannot be read for a safety backup" "$work/nobackup.err"
check "without --no-backup: no page sent" bash -c "! grep -q 'Firmware page' '$sim_log'"

echo "# firmware: the update"
"$korvane" firmware --yes --no-backup "$work/good.fdt" >"$work/fw.out" 2>"$work/fw.err"; status=$?
check "firmware exits 0" test "$status" -eq 0
check "firmware names the package and its notes" in_order "$work/fw.out" "Package: Firmware 2.3.5" "  Faster taps"
check "firmware reports six pages" grep -q "Firmware updated: 6 pages sent" "$work/fw.out"
check "pages 0 to 5 in order, then Set Version 2.3.5" \
  in_order "$sim_log" "c7 00 00" "c7 00 05" "Set Version  3 bytes: c8 23 05"
check "presets converted after the update (stores follow)" in_order "$sim_log" "Set Version" "Store preset"
"$korvane" list >"$work/list.out" 2>"$work/list.err"; status=$?
check "the pedal runs firmware 2.3.5 afterwards" grep -q "Firmware 2.3.5" "$work/list.err"
# Firmware 2.2 numbered the algorithms after code 8 one lower: slot 1 moved on.
check "slot 1 converted by the update" bash -c "! grep -qE '^ 1  PC\\.0    1-A  Lush Chorus +- -  X: CHORUS  Y: DIME\\.C' '$work/list.out'"

echo "# firmware: a pedal in normal mode is not updated"
"$korvane" firmware --yes --no-backup "$work/good.fdt" >/dev/null 2>"$work/normal.err"; status=$?
check "normal mode: status 1" test "$status" -eq 1
check "normal mode: said so" grep -q "not in update mode" "$work/normal.err"

echo "# library"
"$korvane" library </dev/null >/dev/null 2>&1; status=$?
check "library without --yes: status 2" test "$status" -eq 2
check "library without --yes: no block sent" bash -c "! grep -q 'Library block' '$sim_log'"
"$korvane" library --yes >"$work/lib.out" 2>"$work/lib.err"; status=$?
check "library: a safety backup first" test "$(ls "$HOMEDRIVE/Brakwell/Korvane/presets/autobackup"/*.bkp 2>/dev/null | wc -l)" -eq 1
check "library exits 0" test "$status" -eq 0
check "library: 45 blocks written and verified" grep -q "Library updated: 45 blocks" "$work/lib.out"
check "library: blocks 0, 37, 38, 62 and 63 reached the pedal" \
  in_order "$sim_log" "Library block 0 data" "Library block 37 data" "Library block 38 data" "Library block 62 data" "Library block 63 data"

echo "# factory reset"
"$korvane" factory-reset --yes >"$work/fr.out" 2>"$work/fr.err"; status=$?
check "factory-reset: a safety backup first" test "$(ls "$HOMEDRIVE/Brakwell/Korvane/presets/autobackup"/*.bkp 2>/dev/null | wc -l)" -eq 2
check "factory-reset exits 0" test "$status" -eq 0
check "factory-reset reports its result" grep -q "32 presets stored and verified" "$work/fr.out"
check "factory-reset stored slots 0 and 31, then the globals" \
  in_order "$sim_log" "Store preset 0 parameters" "Store preset 31 Y-Data" "SET_GLOBALS"
"$korvane" list >"$work/list2.out" 2>/dev/null
check "slot 1 is the factory preset again" grep -qE '^ 1  PC\.0    1-A  Lush Chorus +- -  X: CHORUS  Y: DIME\.C' "$work/list2.out"

stop_sim
"$korvane" factory-reset --yes >/dev/null 2>&1; status=$?
check "no pedal: factory-reset exits 1" test "$status" -eq 1

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

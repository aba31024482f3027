#!/usr/bin/env bash
# Every command that writes to the pedal, against tessivar-sim playing each
# fault: no answer, a short answer, one corrupted echo, every echo corrupted,
# and dropping off the bus part way through the command's requests (after
# about a third of the request parts a clean run sends, at least one), and a
# Store header spoiled on the way in (once, always), which no echo shows. The command must end (no hang), never by a signal,
# and with a non-zero status whenever the write did not happen as promised;
# a single corrupted echo is retried or, for commands without an echo,
# harmless, so there status 0 is allowed. No display.
set -u
source "$(dirname "$0")/common.bash"
e2e_init "$1"
unset DISPLAY

# name|echoed|arguments (run as: korvane <arguments>). "echoed": the
# pedal echoes the written data back, so corrupted echoes must fail it;
# a command whose data is not echoed is untouched by that fault.
# Files the commands use: an offline preset and a backup read from a clean
# pedal first; a backup made under a fault goes over an older one of the same
# name, which must come out whole (old or new, never partial).
start_sim
"$korvane" read 4 "$work/slot.lop" >/dev/null 2>&1
"$korvane" backup "$work/full.bkp" >/dev/null 2>&1
"$korvane" globals save "$work/settings.glo" >/dev/null 2>&1
stop_sim
check "preset file for the write command" test -s "$work/slot.lop"
check "backup file for the restore command" test "$(stat -c %s "$work/full.bkp" 2>/dev/null)" = 1504
check "settings file for globals load" test "$(stat -c %s "$work/settings.glo" 2>/dev/null)" = 34
head -c 1504 /dev/zero | tr '\0' 'o' >"$work/older.bkp"

# A firmware package for 2.3.5: two images of 12 pages each.
"$build/tools/make_firmware_package" "$work/update.fdt" --firmware 2.3.5 --image-bytes 3072 --note "A note" >/dev/null

# name|echoed|simulator options|arguments (run as: korvane <arguments>;
# --yes where the command asks). "echoed": the pedal echoes the written data back, so corrupted
# echoes must fail it; a command whose data is not echoed (or only read) is
# untouched by that fault.
commands=(
  "arp save|no||arp save --yes ARPGTR 3 60 40 20 0"
  "write|yes||write --yes 7 $work/slot.lop"
  "restore|yes||restore --yes $work/full.bkp"
  "backup|no||backup $work/fault.bkp"
  "globals load|no||globals load --yes $work/settings.glo"
  "library|yes||library --yes"
  "factory-reset|yes||factory-reset --yes"
  "firmware|yes|--update-mode|firmware --yes --no-backup --allow-downgrade $work/update.fdt"
)

# Request parts the simulator logged ("... 3 bytes: c7 00 00"); a store or a
# firmware page is two or three parts but one request for --vanish-after.
parts_in() { grep -cE ' [0-9]+ bytes?: ' "$1" || true; }

for entry in "${commands[@]}"; do
  IFS='|' read -r name echoed simopts rest <<<"$entry"
  read -r -a args <<<"$rest"
  read -r -a simargs <<<"$simopts"

  start_sim "${simargs[@]}"
  timeout 120 "$korvane" "${args[@]}" >"$work/clean.out" 2>&1; status=$?
  check "$name: clean run exits 0" test "$status" -eq 0
  total=$(parts_in "$sim_log")
  stop_sim

  for fault in "--no-answer" "--short-answer" "--corrupt-echo 1" "--corrupt-echo 1000000" \
               "--vanish-after $(( total / 3 > 1 ? total / 3 : 1 ))" "--spoil-header 1" "--spoil-header 1000000"; do
    cp "$work/older.bkp" "$work/fault.bkp"
    # shellcheck disable=SC2086
    start_sim "${simargs[@]}" $fault
    timeout 120 "$korvane" "${args[@]}" >"$work/fault.out" 2>&1; status=$?
    echo "STATUS | $name | $fault | $status"
    check "$name / $fault: ends by itself (status $status)" test "$status" -lt 124
    # Commands that store presets: write reads the slot back (one retry), a
    # restore and a factory reset compare everything at the end (no retry).
    stores=no
    [[ "$name" == write || "$name" == restore || "$name" == factory-reset ]] && stores=yes
    if [[ "$fault" == --spoil-header* && "$stores" == no ]]; then
      check "$name / $fault: harmless" test "$status" -eq 0
    elif [[ "$fault" == "--spoil-header 1" && "$name" == write ]]; then
      check "$name / $fault: retried" test "$status" -eq 0
    elif [[ "$fault" == "--corrupt-echo 1" || ( "$echoed" == no && "$fault" == --corrupt-echo* ) ]]; then
      check "$name / $fault: retried or harmless" test "$status" -le 1
    else
      check "$name / $fault: non-zero status" test "$status" -ne 0
      check "$name / $fault: says why on the way out" test -s "$work/fault.out"
    fi
    check "$name / $fault: the older backup is whole" \
      bash -c "cmp -s '$work/fault.bkp' '$work/older.bkp' || [ \$(stat -c %s '$work/fault.bkp') = 1504 ]"
    check "$name / $fault: no temporary file left" test "$(ls -A "$work" | grep -c '^\.fault\.bkp\.')" -eq 0
    stop_sim
  done
done

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

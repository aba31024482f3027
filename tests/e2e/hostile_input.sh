#!/usr/bin/env bash
# Both programs against what a user's machine can hand them: FIFOs and
# /dev/zero where files belong, a stop request while the start waits, a
# devices line left by a killed simulator, a 400,000-character serial number,
# a damaged state file and a symlink planted where the state is saved.
# Every wait is bounded with `timeout`; a hang is a failure, never a stuck run.
# Usage: hostile_input.sh BUILD_DIR
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

mkfifo "$work/fifo"
ln -s /dev/zero "$work/zero"

# Runs the simulator in the background with its output in $work/s.out and
# s.err; sets spid. Waits (bounded) for its banner unless told not to.
sim_bg() {
  : >"$work/s.out"; : >"$work/s.err"
  "$sim" "$@" >"$work/s.out" 2>"$work/s.err" &
  spid=$!
  pids+=("$spid")
}
banner_within() {   # banner_within SECONDS
  timeout "$1" bash -c "until grep -q 'serving on' '$work/s.out'; do sleep 0.05; done"
}
# Sends SIGTERM and waits at most SECONDS for the exit; sets term_code to
# the exit status or "timeout". (No $(...) here: the wait needs this shell.)
term_within() {
  local pid="$1" secs="$2"
  term_code=timeout
  kill -TERM "$pid" 2>/dev/null
  if timeout "$secs" bash -c "while kill -0 $pid 2>/dev/null && ! grep -q '^State:.*Z' /proc/$pid/status 2>/dev/null; do sleep 0.05; done"; then
    wait "$pid"; term_code=$?
  fi
  e2e_stop "$pid"
}

echo "# the simulator: special files in bin/, as --state and as --devices"
bad_bin="$work/badbin"
mkdir -p "$bad_bin"
mkfifo "$bad_bin/factoryset.fap" "$bad_bin/error_log.fvc"
ln -s /dev/zero "$bad_bin/arpdata.bin"
ln -s /dev/zero "$bad_bin/dispdata.bin"
sim_bg --devices "$devices" --data-dir "$bad_bin" --state "$work/fifo"
check "bin/ FIFOs and /dev/zero, FIFO state: it serves" banner_within 10
check "bin/ files refused with a message" grep -q "factoryset.fap: not a regular file" "$work/s.err"
check "state FIFO refused with a message" grep -q "fifo: not a regular file; the memory will not be kept" "$work/s.err"
term_within "$spid" 5
check "it ends on SIGTERM with status 0" test "$term_code" = 0
check "its devices line is gone" test ! -s "$devices"
check "the FIFO is still a FIFO" test -p "$work/fifo"

sim_bg --devices "$devices" --state /dev/zero
check "state /dev/zero: it serves" banner_within 10
term_within "$spid" 5
check "state /dev/zero: it ends on SIGTERM" test "$term_code" = 0

for target in /dev/zero "$work/fifo"; do
  sim_bg --devices "$target"
  code=timeout
  if timeout 10 bash -c "while kill -0 $spid 2>/dev/null && ! grep -q '^State:.*Z' /proc/$spid/status 2>/dev/null; do sleep 0.05; done"; then wait "$spid"; code=$?; fi
  e2e_stop "$spid"
  check "devices $target: refused at once (status 1)" test "$code" = 1
  check "devices $target: says why" grep -q "not a regular file" "$work/s.err"
done

echo "# the simulator ends promptly on SIGTERM at any moment of its start"
for delay in 0 0.02 0.1; do
  sim_bg --devices "$devices" --data-dir "$bad_bin" --state "$work/fifo"
  # Until the fork has become the simulator, a SIGTERM reaches this shell's
  # copy, which can lose it between its trap and exec (on a busy machine):
  # the earliest moment is the simulator's first one.
  timeout 5 bash -c "until [[ /proc/$spid/exe -ef '$sim' ]] || ! kill -0 $spid 2>/dev/null; do sleep 0.002; done"
  sleep "$delay"
  term_within "$spid" 5
  check "SIGTERM after ${delay}s: ended" test "$term_code" != timeout
done
# A start held up by someone else's lock on the devices file.
python3 -c 'import fcntl, sys, time; f = open(sys.argv[1], "a"); fcntl.flock(f, fcntl.LOCK_EX); time.sleep(60)' "$devices" &
holder=$!
pids+=("$holder")
timeout 10 bash -c "while flock -n '$devices' true; do sleep 0.05; done"
sim_bg --devices "$devices"
sleep 0.5
check "waiting for the devices file's lock: no banner yet" test ! -s "$work/s.out"
term_within "$spid" 3
check "waiting for the lock: SIGTERM ends it" test "$term_code" != timeout
e2e_stop "$holder"
: >"$devices"

echo "# a simulator killed by SIGKILL: its line is tidied, never used"
start_sim --serial TSVDEAD01 || exit 1
dead_tty="$(cut -f1 "$devices")"
kill -KILL "$sim_pid"; wait "$sim_pid" 2>/dev/null
check "the killed simulator's line stays behind" grep -q "TSVDEAD01" "$devices"
start_sim --serial TSVLIVE02 || exit 1
# start_sim returns as soon as the file is not empty, which the dead line
# already makes it: wait for the new simulator's own line.
wait_text "$devices" "TSVLIVE02"
check "the next simulator tidies it away" bash -c "! grep -q TSVDEAD01 '$devices'"
check "and lists itself" grep -q "TSVLIVE02" "$devices"
stop_sim

echo "# the state file: a damaged one is kept aside, the save follows no symlink"
state="$work/pedal.state"
sim_bg --devices "$devices" --state "$state"
banner_within 10 || true
tty="$(sed -n 's/^tessivar-sim: serving on //p' "$work/s.out")"
# Set Globals (0xC2 + 34 bytes) changes the memory; the state is saved soon after.
send_globals() {
  exec 3<>"$1"; stty -F "$1" raw -echo
  printf '\xc2%034d' 0 | tr '0' '\001' >&3
  exec 3<&-
}
send_globals "$tty"
timeout 10 bash -c "until [[ -s '$state' ]]; do sleep 0.05; done"
check "a state file was written" test -s "$state"
term_within "$spid" 5
check "the first run ends on SIGTERM" test "$term_code" = 0
python3 - "$state" <<'EOF'
import sys
p = sys.argv[1]
b = bytearray(open(p, "rb").read())
b[len(b) // 2] ^= 0x01
open(p, "wb").write(b)
EOF
cp "$state" "$work/damaged-copy"
echo "not the simulator's" >"$work/victim"
sim_bg --devices "$devices" --state "$state"
banner_within 10 || true
check "damaged state: said at start" grep -q "is damaged; starting factory-fresh" "$work/s.err"
tty="$(sed -n 's/^tessivar-sim: serving on //p' "$work/s.out")"
# Where the old code saved through: a name any local user could plant.
ln -s "$work/victim" "$state.tmp$spid"
send_globals "$tty"
timeout 10 bash -c "until [[ -s '$state.damaged' ]] && cmp -s '$state.damaged' '$work/damaged-copy' && [[ -s '$state' ]]; do sleep 0.05; done"
check "the damaged file is kept as .damaged, unchanged" cmp -s "$state.damaged" "$work/damaged-copy"
check "and said so" grep -q "damaged state file kept as $state.damaged" "$work/s.err"
check "a new state file is in place" test -s "$state"
check "the planted symlink's target is untouched" test "$(cat "$work/victim")" = "not the simulator's"
term_within "$spid" 5
check "the new state loads on the next start" bash -c "'$sim' --state '$state' --devices '$devices' >'$work/s3.out' 2>'$work/s3.err' & p=\$!; sleep 0.5; kill -TERM \$p; wait \$p; ! grep -q damaged '$work/s3.err'"
: >"$devices"

echo "# the editor: special files as devices list, presets list, preset files, bin/ and img/"
export KORVANE_DEVICES=/dev/zero
start_app || exit 1
check "devices /dev/zero: the window is up, no pedal" grep -q "FT_OpenEx (open by description) FAILED" "$app_out"
check "devices /dev/zero: said why" grep -q "cannot read /dev/zero: not a regular file" "$app_out"
stop_app
export KORVANE_DEVICES="$work/fifo"
start_app || exit 1
check "devices FIFO: the window is up" grep -q "FT_OpenEx (open by description) FAILED" "$app_out"
stop_app

export KORVANE_DEVICES="$devices"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"
mkdir -p "$presets"
mkfifo "$presets/presets.lst"
start_app || exit 1
check "presets.lst a FIFO: the window is up" kill -0 "$app_pid"
check "presets.lst a FIFO: said why" grep -q "presets.lst: not a regular file" "$app_out"
stop_app
rm -f "$presets/presets.lst"
printf 'Good One\n%035d%-12s' 0 "Good" >"$presets/Good One.lop"
mkfifo "$presets/Fifo.lop"
printf '%s\n' "$presets/Fifo.lop" "/dev/zero" "$presets/Good One.lop" >"$presets/presets.lst"
# The working directory's bin/ and img/ come first (found by one good file
# each): plant special files beside it.
mkdir -p "$work/bin" "$work/img"
cp "$src/bin/error_log.fvc" "$work/bin/"
cp "$src/img/brakwellLogo.png" "$work/img/"
mkfifo "$work/bin/factoryset.fap" "$work/img/backdrop_[700x592].png"
ln -s /dev/zero "$work/bin/arpdata.bin"
ln -s /dev/zero "$work/img/appLogo_(149x37).png"
start_app || exit 1
check "FIFO and /dev/zero presets, bin/ and img/ files: the window is up" kill -0 "$app_pid"
check "the FIFO preset is refused with a message" grep -q "Fifo.lop: not a regular file" "$app_out"
check "the artwork FIFO is refused with a message" grep -qF "backdrop_[700x592].png: not a regular file" "$app_out"
check "the artwork /dev/zero is refused with a message" grep -qF "appLogo_(149x37).png: not a regular file" "$app_out"
shot hostile-files
stop_app
rm -rf "$work/bin" "$work/img"

echo "# the editor: a 400,000-character serial number before a live simulator"
start_sim --serial TSVLIVE03 || exit 1
python3 - "$devices" <<'EOF'
import sys
p = sys.argv[1]
live = open(p).read()
bad = "/dev/pts/999\tBrakwell Tessivar\t" + "S" * 400000 + "\n"
open(p, "w").write(bad + live)
EOF
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
check "the editor reached the live simulator" grep -q "Read parameters & title successful" "$app_out"
check "the over-long line was skipped with a message" grep -q "malformed line(s) skipped" "$app_out"
check "the editor is still running" kill -0 "$app_pid"
shot long-serial

echo "# the editor: the preset selector, left by the pointer, then BackSpace and Shift+Tab"
for keys in BackSpace shift+Tab "Tab Up"; do
  click 435 545
  settle 0.4
  xdotool mousemove --window "$win" 1040 20
  settle 0.2
  # shellcheck disable=SC2086
  xdotool key $keys
  settle 0.3
  xdotool key Escape
  settle 0.3
  check "selector, pointer outside, $keys: the editor is still running" kill -0 "$app_pid"
done
stop_app
stop_sim

if [[ "$failures" -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"

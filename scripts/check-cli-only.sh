#!/usr/bin/env bash
# A korvane without the window: configures and builds build-cli/ with
# -DKORVANE_GUI=OFF, checks that the program links neither FLTK nor X, and
# runs commands with it against the simulated pedal (list, read, write,
# backup, restore) with no display.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-cli}"
werror=OFF
[[ -n "${CI:-}" ]] && werror=ON
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_GUI=OFF -DKORVANE_WERROR="$werror" >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvane tessivar-sim >/dev/null
korvane="$build/korvane"
failures=0
check() {
  local what="$1"; shift
  if "$@" >/dev/null 2>&1; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}
check "no FLTK library is linked" bash -c "! ldd '$korvane' | grep -qi fltk"
check "no X library is linked" bash -c "! ldd '$korvane' | grep -qE 'libX|libxcb'"

work="$(mktemp -d -t korvane-cli.XXXXXX)"
sim_pid=
cleanup() {
  [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" HOMEDRIVE="$work/drive" USERPROFILE="$work/profile" KORVANE_DEVICES="$work/devices"
# The XDG folders default into that home, not to the caller's.
unset XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME XDG_CACHE_HOME KORVANE_DATA_DIR
mkdir -p "$HOME" "$HOMEDRIVE" "$USERPROFILE"
: >"$KORVANE_DEVICES"
unset DISPLAY
"$build/tessivar-sim" --devices "$KORVANE_DEVICES" --serial TSV0777C >/dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do [[ -s "$KORVANE_DEVICES" ]] && break; sleep 0.05; done

"$korvane" >/dev/null 2>"$work/alone.err" && status=0 || status=$?
check "alone it says it has no window (2)" bash -c "[ $status -eq 2 ] && grep -q 'no window' '$work/alone.err'"
check "--help lists the commands" bash -c "'$korvane' --help | grep -q 'Commands:'"
check "list shows 32 slots" bash -c "[ \"\$('$korvane' list 2>/dev/null | wc -l)\" -ge 32 ]"
check "read 1" "$korvane" read 1 "$work/one.lop"
check "write 3" "$korvane" write --yes 3 "$work/one.lop"
check "backup" "$korvane" backup "$work/all.bkp"
check "restore" "$korvane" restore --yes --no-backup "$work/all.bkp"
check "globals save" "$korvane" globals save "$work/globals.bin"

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

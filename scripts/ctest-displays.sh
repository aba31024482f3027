#!/usr/bin/env bash
# Runs ctest in a build folder with virtual X displays of its own, so that the
# tests that open windows run side by side, each alone on one display:
#
#   scripts/ctest-displays.sh BUILD_DIR [ctest options]
#
# Starts KORVANE_TEST_DISPLAYS Xvfb servers (default 3; each picks a free
# display number itself), hands ctest one "display" slot per server
# (tests/on-display.sh points each window test at its slot's display) and
# runs KORVANE_TEST_JOBS tests at a time (default: one more than the
# displays; most window tests wait on the simulated pedal rather than
# compute). The servers end with the script, whatever way it ends.
set -euo pipefail
build="$(cd "${1:?usage: $0 BUILD_DIR [ctest options]}" && pwd)"
shift
displays="${KORVANE_TEST_DISPLAYS:-3}"
jobs="${KORVANE_TEST_JOBS:-$((displays + 1))}"
[[ "$displays" =~ ^[1-9][0-9]*$ ]] || { echo "KORVANE_TEST_DISPLAYS: a number of displays, not '$displays'"; exit 2; }
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "KORVANE_TEST_JOBS: a number of tests, not '$jobs'"; exit 2; }
command -v Xvfb >/dev/null || { echo "missing Xvfb (scripts/deps.sh installs it)"; exit 1; }

work="$(mktemp -d -t korvane-displays.XXXXXX)"
servers=()
cleanup() {
  local p
  for p in "${servers[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  for p in "${servers[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Each server writes the number it took to a file once it accepts clients.
ids=()
for i in $(seq 1 "$displays"); do
  exec {fd}>"$work/display-$i"
  Xvfb -displayfd "$fd" -screen 0 1280x800x24 -noreset -nolisten tcp >"$work/xvfb-$i.log" 2>&1 &
  servers+=("$!")
  exec {fd}>&-
done
for i in $(seq 1 "$displays"); do
  for _ in $(seq 1 200); do
    [[ -s "$work/display-$i" ]] && break
    kill -0 "${servers[$((i - 1))]}" 2>/dev/null || break
    sleep 0.05
  done
  id="$(tr -dc 0-9 <"$work/display-$i")"
  [[ -n "$id" ]] || { echo "Xvfb did not start:"; cat "$work/xvfb-$i.log"; exit 1; }
  ids+=("$id")
done

slot_list="$work/displays.json"
{
  printf '{"version": {"major": 1, "minor": 0}, "local": [{"display": ['
  sep=""
  for id in "${ids[@]}"; do printf '%s{"id": "%s", "slots": 1}' "$sep" "$id"; sep=", "; done
  printf ']}]}\n'
} >"$slot_list"
echo "ctest: ${#ids[@]} virtual displays (:$(IFS=,; echo "${ids[*]}" | sed 's/,/, :/g')), $jobs tests at a time"

# A test that opens a window without asking for a display finds none, rather
# than overlapping another test's windows.
unset DISPLAY
cd "$build"
status=0
ctest --resource-spec-file "$slot_list" -j"$jobs" --output-on-failure "$@" || status=$?
exit "$status"

#!/usr/bin/env bash
# Installs what is missing, builds the editor, the simulated pedal and the
# sample firmware package (not the tests), and starts the editor. When no Tessivar is
# plugged in, a simulated pedal (tessivar-sim) is started first and the editor
# is pointed at it; it stops when the editor closes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh korvane tessivar-sim sample-firmware   # the test programs: scripts/test.sh

pedal_attached() {
  local tty product
  for tty in /sys/class/tty/ttyUSB*; do
    [ -e "$tty" ] || continue
    product="$(cat "$tty/device/../../product" 2>/dev/null || cat "$tty/device/../product" 2>/dev/null || true)"
    [ "$product" = "Brakwell Tessivar" ] && return 0
  done
  return 1
}

if pedal_attached; then
  exec ./build/korvane
fi

state_dir="${XDG_STATE_HOME:-$HOME/.local/state}/korvane"
mkdir -p "$state_dir"
devices="$(mktemp -t korvane-devices.XXXXXX)"
./build/tessivar-sim --devices "$devices" --state "$state_dir/sim-pedal.bin" \
    --log "$state_dir/sim-requests.log" &
sim=$!
trap 'kill -TERM $sim 2>/dev/null; wait $sim 2>/dev/null; rm -f "$devices"' EXIT
for _ in $(seq 1 100); do
  [ -s "$devices" ] && break
  sleep 0.05
done
KORVANE_DEVICES="$devices" ./build/korvane

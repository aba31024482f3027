#!/usr/bin/env bash
# Regenerates the README's picture: the main window right after start-up
# against the simulated pedal, captured as the window itself (not the screen
# around it), on a private virtual display. Nothing of the user's is read or
# written: the program runs with a scratch home.
# Usage: scripts/screenshot.sh [BUILD_DIR] [OUTPUT]   (defaults: build, docs/screenshot.png)
set -euo pipefail
cd "$(dirname "$0")/.."
src="$(pwd)"
build="$(cd "${1:-build}" && pwd)"
out="${2:-docs/screenshot.png}"
[[ "$out" = /* ]] || out="$src/$out"

if [[ -z "${SCREENSHOT_OWN_DISPLAY:-}" ]]; then
  SCREENSHOT_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x800x24 -noreset" bash "$0" "$@"
fi
for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshot.sh: missing $tool (scripts/deps.sh installs it)"; exit 1; }
done
for bin in korvane tessivar-sim; do
  [[ -x "$build/$bin" ]] || { echo "screenshot.sh: missing $build/$bin (build it first)"; exit 1; }
done

work="$(mktemp -d -t korvane-shot.XXXXXX)"
sim_pid=""
app_pid=""
cleanup() {
  local p
  for p in $app_pid $sim_pid; do kill -TERM "$p" 2>/dev/null || true; done
  for p in $app_pid $sim_pid; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

export HOME="$work/home" USERPROFILE="$work/profile" HOMEDRIVE="$work/drive"
# The XDG folders default into that home, not to the caller's.
unset XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME XDG_CACHE_HOME KORVANE_DATA_DIR
mkdir -p "$HOME" "$USERPROFILE/Desktop" "$HOMEDRIVE"
export KORVANE_DEVICES="$work/devices"
: >"$KORVANE_DEVICES"

"$build/tessivar-sim" --devices "$KORVANE_DEVICES" --data-dir "$src/bin" >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do [[ -s "$KORVANE_DEVICES" ]] && break; sleep 0.05; done
[[ -s "$KORVANE_DEVICES" ]] || { echo "screenshot.sh: the simulated pedal did not come up"; cat "$work/sim.out"; exit 1; }

# From the source tree, where the artwork and data folders are.
"$build/korvane" --verbose >"$work/korvane.out" 2>&1 &
app_pid=$!
win="$(timeout 30 xdotool search --sync --onlyvisible --name '^Brakwell - Korvane' | head -n1)" || true
[[ -n "$win" ]] || { echo "screenshot.sh: the main window did not appear"; cat "$work/korvane.out"; exit 1; }
for _ in $(seq 1 200); do
  grep -q "Read parameters & title successful" "$work/korvane.out" && break
  sleep 0.1
done
sleep 1   # the last repaint after reading slot 0

import -window "$win" "$out"
echo "screenshot.sh: $out ($(identify -format '%wx%h' "$out"))"

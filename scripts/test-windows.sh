#!/usr/bin/env bash
# The Windows part of CI: scripts/build-windows.sh (FLTK for Windows from the
# cache or built once, korvane.exe and korvane.com, the core tests under
# Wine, the installer), then scripts/e2e-windows.sh: the Windows command line
# and window under Wine against the Linux simulated pedal, and the installer
# in and out. Uses the Linux build (build/) for tessivar-sim.
set -euo pipefail
cd "$(dirname "$0")/.."
t0=$SECONDS
bash scripts/build-windows.sh
if [[ ! -x build/tessivar-sim || ! -x build/korvane ]]; then
  bash scripts/build.sh korvane tessivar-sim
fi
t1=$SECONDS
bash scripts/e2e-windows.sh build build-win
echo "test-windows: end to end under Wine $((SECONDS - t1)) s; Windows part in all $((SECONDS - t0)) s" >&2

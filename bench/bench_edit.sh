#!/usr/bin/env bash
# From a slider's release to its Change Core complete at the pedal, in the
# real program against `tessivar-sim --pace --log`: the release is sent with
# xdotool and stamped on the wall clock; the simulator stamps each request
# when its last byte has arrived. The floor is the 36 bytes' wire time
# (3.1 ms at 115200 baud); the release of a knob sends no other request, so
# no gap applies. Run by hand: bash bench/bench_edit.sh [BUILD_DIR] [RUNS]
set -euo pipefail
if [[ -z "${BENCH_OWN_DISPLAY:-}" ]]; then
  BENCH_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x800x24 -noreset" bash "$0" "$@"
fi
build="$(cd "${1:-build}" && pwd)"
runs="${2:-10}"
work="$(mktemp -d)"
export HOME="$work" HOMEDRIVE="$work" USERPROFILE="$work"
# The XDG folders default into that home, not to the caller's.
unset XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME XDG_CACHE_HOME KORVANE_DATA_DIR
trap 'kill $app $sim 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
"$build/tessivar-sim" --pace --devices "$work/devices" --state "$work/state" --log "$work/sim.log" >/dev/null 2>&1 &
sim=$!
for _ in $(seq 100); do [ -s "$work/devices" ] && break; sleep 0.05; done
KORVANE_DEVICES="$work/devices" "$build/korvane" --verbose >"$work/app.out" 2>&1 &
app=$!
win="$(timeout 30 xdotool search --sync --name '^Brakwell - Korvane' | head -n1)"
for _ in $(seq 100); do grep -q "Read parameters & title successful" "$work/app.out" && break; sleep 0.1; done
sleep 1

stamps=()
afters=()
for i in $(seq "$runs"); do
  x=$((960 + (i % 2) * 60))
  xdotool mousemove --window "$win" 997 162 mousedown 1 mousemove --window "$win" "$x" 162
  sleep 0.3
  before="$(grep -c 'Change Core' "$work/sim.log" || true)"
  stamps+=("$(date +%H:%M:%S.%N)")
  xdotool mouseup 1
  afters+=("$(date +%H:%M:%S.%N)")
  for _ in $(seq 100); do [ "$(grep -c 'Change Core' "$work/sim.log" || true)" -gt "$before" ] && break; sleep 0.02; done
  sleep 0.3
  # The knob is back where it started for the next run.
  xdotool mousemove --window "$win" "$x" 162 mousedown 1 mousemove --window "$win" 997 162 mouseup 1
  sleep 0.5
done
grep 'Change Core' "$work/sim.log" | awk '{print $1}' >"$work/arrivals"
python3 - "$work/arrivals" "$runs" "${stamps[@]}" "${afters[@]}" <<'PY'
import sys
def secs(t):
    h, m, s = t.split(":")
    return int(h) * 3600 + int(m) * 60 + float(s)
arrivals = [secs(l.strip()) for l in open(sys.argv[1]) if l.strip()]
n = int(sys.argv[2])
before = [secs(t[:15]) for t in sys.argv[3:3 + n]]
after = [secs(t[:15]) for t in sys.argv[3 + n:3 + 2 * n]]
def latencies(starts):
    out = []
    for r in starts:
        later = [a for a in arrivals if a >= r - 0.0005]
        if later:
            out.append(max(later[0] - r, 0.0))
    return sorted(out)
floor = 36 * 10 / 115200
lat = latencies(before)
med = lat[len(lat) // 2]
# Whether the request was complete before xdotool had even returned.
early = sum(1 for r0, r1 in zip(before, after) for a in [min([x for x in arrivals if x >= r0 - 0.0005] or [1e9])] if a <= r1)
print(f"slider release -> Change Core complete at the pedal, {n} releases (tessivar-sim --pace)")
print(f"  wire time of the 36 bytes   {floor*1000:6.1f} ms")
print(f"  median                      {med*1000:6.1f} ms  (over the wire time: {(med-floor)*1000:.1f} ms; target under 10 ms)")
print(f"  worst                       {lat[-1]*1000:6.1f} ms")
print(f"  complete before xdotool returned: {early} of {n}")
print("  Measured from a stamp taken just before xdotool starts, so the figures include xdotool's")
print("  own start-up: an upper bound. The simulator stamps in 1 ms steps.")
PY

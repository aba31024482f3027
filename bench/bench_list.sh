#!/usr/bin/env bash
# `korvane list` from start to exit against `tessivar-sim --pace`, as a ratio
# to the wire time of its transfers plus the half-second pause the pedal is
# given before Read All. Run by hand: bash bench/bench_list.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
runs="${2:-10}"
work="$(mktemp -d)"
trap 'kill $sim 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
"$build/tessivar-sim" --pace --devices "$work/devices" --state "$work/state" >/dev/null 2>&1 &
sim=$!
for _ in $(seq 100); do [ -s "$work/devices" ] && break; sleep 0.05; done
export KORVANE_DEVICES="$work/devices"
unset DISPLAY

# Bytes on the wire each way: Get Pedal State (1 + 2), Read All (1 + 1504),
# Read preset 0 (1 + 47); the factory slot 0 plays no arp algorithm.
bytes=$((1 + 2 + 1 + 1504 + 1 + 47))
wire=$(python3 -c "print($bytes * 10 / 115200)")
pause=0.5

total=0
cpu_total=0
for _ in $(seq "$runs"); do
  t0=$(date +%s.%N)
  /usr/bin/time -f "%U %S" -o "$work/cpu" "$build/korvane" list >/dev/null 2>&1
  t1=$(date +%s.%N)
  total=$(python3 -c "print($total + $t1 - $t0)")
  cpu_total=$(python3 -c "u,s=open('$work/cpu').read().split()[-2:]; print($cpu_total + float(u) + float(s))")
done
python3 - "$runs" "$total" "$cpu_total" "$wire" "$pause" <<'PY'
import sys
runs, total, cpu, wire, pause = int(sys.argv[1]), *map(float, sys.argv[2:])
each = total / runs
print(f"korvane list, {runs} runs against tessivar-sim --pace")
print(f"  wall time each      {each*1000:8.1f} ms")
print(f"  wire time           {wire*1000:8.1f} ms  (+ {pause*1000:.0f} ms pause before Read All)")
print(f"  ratio to wire+pause {each/(wire+pause):8.3f}")
print(f"  CPU each            {cpu/runs*1000:8.1f} ms ({cpu/total*100:.1f} % of one core)")
PY

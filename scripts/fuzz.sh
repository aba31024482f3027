#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/fuzz_*.cpp) with clang into ./build-fuzz
# and runs each one for FUZZ_SECONDS (30 by default) from its committed seed
# corpus in fuzz/corpus/<target>/. Anything found (crash, hang over 5 s per
# input, leak, sanitizer report, more than 2 GiB) fails the run; the input
# that caused it is kept in build-fuzz/findings/<target>/.
#
#   scripts/fuzz.sh                         every target, 30 s each
#   FUZZ_SECONDS=3600 scripts/fuzz.sh link_replies   one target for an hour
#   FUZZ_JOBS=2 ...                         that many fuzzing processes per target
#
# New inputs that reach new code go to build-fuzz/corpus/<target>/ (not the
# committed corpus); copy the small interesting ones into fuzz/corpus/ by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
seconds="${FUZZ_SECONDS:-30}"
jobs="${FUZZ_JOBS:-1}"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_FUZZ=ON \
    -DKORVANE_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null

targets=()
if (($#)); then
  for t in "$@"; do targets+=("fuzz_${t#fuzz_}"); done
else
  for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

# The targets' scratch files, in memory when /dev/shm is there; gone at the end.
scratch_base=/tmp
[ -w /dev/shm ] && scratch_base=/dev/shm
KV_FUZZ_SCRATCH="$(mktemp -d "$scratch_base/kv-fuzz.XXXXXX")"
export KV_FUZZ_SCRATCH
trap 'rm -rf "$KV_FUZZ_SCRATCH"' EXIT

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
failed=()
for t in "${targets[@]}"; do
  seeds="fuzz/corpus/${t#fuzz_}"
  work="build-fuzz/corpus/${t#fuzz_}"
  findings="build-fuzz/findings/${t#fuzz_}"
  mkdir -p "$work" "$findings"
  [ -d "$seeds" ] || { echo "no seed corpus $seeds" >&2; failed+=("$t"); continue; }
  echo "== $t: ${seconds} s"
  parallel=()
  ((jobs > 1)) && parallel=(-fork="$jobs")
  if ! (cd "$findings" && "$root/build-fuzz/fuzz/$t" -max_total_time="$seconds" -timeout=5 \
          -rss_limit_mb=2048 "${parallel[@]}" -print_final_stats=1 \
          "$root/$work" "$root/$seeds" >"$root/build-fuzz/findings/${t#fuzz_}.log" 2>&1); then
    tail -n 60 "build-fuzz/findings/${t#fuzz_}.log" >&2
    failed+=("$t")
  else
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units)' "build-fuzz/findings/${t#fuzz_}.log" | tail -n 1
  fi
done
if ((${#failed[@]})); then
  echo "fuzzing found problems in: ${failed[*]} (inputs in build-fuzz/findings/)" >&2
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets clean"

#!/usr/bin/env bash
# Configures and builds into ./build: the targets named (`scripts/build.sh
# korvane tessivar-sim`), or everything (the test programs too) when none is.
set -euo pipefail
cd "$(dirname "$0")/.."
# In CI (CI set and not empty) warnings fail the build.
werror=OFF
[[ -n "${CI:-}" ]] && werror=ON
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_WERROR="$werror" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"

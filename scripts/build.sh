#!/usr/bin/env bash
# Configures and builds everything into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
# In CI (CI set and not empty) warnings fail the build.
werror=OFF
[[ -n "${CI:-}" ]] && werror=ON
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_WERROR="$werror" >/dev/null
cmake --build build -j"$(nproc)"

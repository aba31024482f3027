#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (the panels and the
# end-to-end scripts under a virtual X display), then all of them again in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, and then fuzzes
# every reader of outside bytes for a bounded time (FUZZ_SECONDS, 30 s each).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
cd build
xvfb-run -a -s "-screen 0 1280x800x24 -noreset" ctest --output-on-failure -j2

# The same tests once more under the sanitizers.
cd ..
bash scripts/test-sanitizers.sh

# Every fuzz target for FUZZ_SECONDS from its seed corpus.
bash scripts/fuzz.sh

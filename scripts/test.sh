#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test once (the
# panels and the end-to-end scripts on virtual X displays, several side by
# side: scripts/ctest-displays.sh): the command to run after a change.
#
#   scripts/test.sh          the whole suite once
#   scripts/test.sh --full   then all of it again in a build with AddressSanitizer
#                            and UndefinedBehaviorSanitizer, and every fuzz target
#                            for FUZZ_SECONDS (30 s each); what CI (.ci/run) runs
#
# ctest's own options can follow (`scripts/test.sh -R cli`), after --full too.
set -euo pipefail
cd "$(dirname "$0")/.."
full=0
if [[ "${1:-}" == "--full" ]]; then full=1; shift; fi
bash scripts/deps.sh
bash scripts/build.sh
bash scripts/ctest-displays.sh build "$@"
((full)) || exit 0

# The same tests once more under the sanitizers.
bash scripts/test-sanitizers.sh

# Every fuzz target for FUZZ_SECONDS from its seed corpus.
bash scripts/fuzz.sh

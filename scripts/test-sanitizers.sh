#!/usr/bin/env bash
# Builds everything again with AddressSanitizer and UndefinedBehaviorSanitizer
# into ./build-asan and runs the tests there; any report fails the test that
# caused it. Leaks that fontconfig and Xft keep for the life of the process
# are suppressed (tests/lsan.supp); nothing of ours is.
# (The package and install checks are left to the plain build.)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
bash scripts/ctest-displays.sh build-asan -E '^e2e_(package_deb|install)$'

#!/usr/bin/env bash
# Runs a test program on the X display ctest gave it: "on-display.sh PROGRAM
# [ARGUMENTS]". The panels' tests and the end-to-end scripts that open
# windows each take one "display" slot (ctest's RESOURCE_GROUPS); the slot's
# id comes in CTEST_RESOURCE_GROUP_0_DISPLAY as "id:<id>,slots:1".
#   - a number: that display, one of the virtual displays
#     scripts/ctest-displays.sh started, so tests on different slots run side
#     by side without their windows overlapping;
#   - "current" (tests/one-display.json, the slot list ctest reads when given
#     none): the display the whole run was started on (`xvfb-run ctest`), one
#     window test at a time.
# Without a slot (gtest's listing of the tests at build time, a program run by
# hand) the program runs as it is.
set -eu
slot="${CTEST_RESOURCE_GROUP_0_DISPLAY:-}"
if [[ -n "$slot" ]]; then
  id="${slot#id:}"
  id="${id%%,*}"
  if [[ "$id" =~ ^[0-9]+$ ]]; then
    export DISPLAY=":$id"
  elif [[ "$id" != current ]]; then
    echo "on-display.sh: unknown display slot '$slot'" >&2
    exit 1
  fi
fi
exec "$@"

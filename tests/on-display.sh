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
# hand) the program runs on the display it has.
#
# Either way it runs with a scratch home of its own (HOME and the XDG folders,
# removed afterwards): the toolkit keeps its preferences in $HOME/.fltk, and a
# panel test that shows a tooltip would otherwise write there.
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
home="$(mktemp -d -t korvane-test-home.XXXXXX)"
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_STATE_HOME="$home/.local/state"
export XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache"
"$@"

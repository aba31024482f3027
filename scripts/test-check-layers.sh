#!/usr/bin/env bash
# The layer check's own test: on a copy of the toolkit-free folders it
# passes, and each planted violation (an FLTK header in ops/, an X header in
# link/, ops/ included from link/, the window included from the command line,
# a ui/ header in sim/) makes it fail and name the file and line.
set -u
src="$(cd "$(dirname "$0")/.." && pwd)"
check="$src/scripts/check-layers.py"
work="$(mktemp -d -t korvane-layers.XXXXXX)"
trap 'rm -rf "$work"' EXIT
failures=0
ok() { echo "ok   - $1"; }
bad() { echo "FAIL - $1"; failures=$((failures + 1)); }

for d in platform preset arp settings library/core link sim ops cli tools; do
  mkdir -p "$work/tree/$(dirname "$d")"
  cp -r "$src/$d" "$work/tree/$d"
done

if python3 "$check" "$work/tree" >"$work/out" 2>&1; then ok "the tree as it is passes"; else bad "the tree as it is passes"; cat "$work/out"; fi

plant() {   # plant NAME FILE LINE EXPECTED
  local name="$1" file="$2" line="$3" expected="$4"
  rm -rf "$work/planted" && cp -r "$work/tree" "$work/planted"
  printf '%s\n' "$line" >>"$work/planted/$file"
  if python3 "$check" "$work/planted" >"$work/out" 2>&1; then
    bad "$name fails the check"
  elif grep -qF "$expected" "$work/out"; then
    ok "$name fails the check"
  else
    bad "$name is named ($expected)"; cat "$work/out"
  fi
}
plant "an FLTK header in ops/" ops/Connect.cpp '#include <FL/Fl.H>' "ops/Connect.cpp:"
plant "an FLTK header in a new ops/ file" ops/Planted.cpp '#include <FL/Fl.H>' "ops/Planted.cpp:1: includes <FL/Fl.H>"
plant "an X header in link/" link/UsbLink.h '#include <X11/Xlib.h>' "link/UsbLink.h:"
plant "ops/ included from link/" link/UsbLink.cpp '#include "ops/Connect.h"' 'includes "ops/Connect.h": ops is a higher layer for link'
plant "the window included from cli/" cli/Cli.cpp '#include "app/Korvane.h"' 'app is a window folder for cli'
plant "a ui/ header in sim/" sim/PedalModel.h '#include "link/ui/KV_UsbController.h"' 'sim is toolkit-free'
plant "the link included from the model" preset/PresetRecord.h '#include "link/PedalWire.h"' 'link is a higher layer for preset'

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

#!/usr/bin/env bash
# scripts/screenshot.sh takes the main window itself: the picture has the
# window's size and begins with the window's own header, not with the screen
# above it (a capture offset from the window shows a black band on top and
# loses the window's bottom rows).
# Usage: screenshot.sh BUILD_DIR
set -uo pipefail
build="$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)"
src="$(cd "$(dirname "$0")/../.." && pwd)"
out="$(mktemp -d -t korvane-shot-test.XXXXXX)"
trap 'rm -rf "$out"' EXIT
failures=0
check() {   # check "what" command...
  local what="$1"; shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

bash "$src/scripts/screenshot.sh" "$build" "$out/shot.png" || { echo "FAIL - screenshot.sh ran"; exit 1; }
check "picture taken" test -s "$out/shot.png"
size="$(identify -format '%wx%h' "$out/shot.png" 2>/dev/null)"
check "picture is the window's size (1070x650, got $size)" test "$size" = "1070x650"
# The header's dark grey, not black, from the first row on.
top="$(convert "$out/shot.png" -crop 1070x16+0+0 +repage -format '%[fx:int(1000*mean)]' info:)"
check "no black band on top (mean level $top of 1000)" test "${top:-0}" -gt 50
exit $((failures > 0))

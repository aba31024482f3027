#!/usr/bin/env bash
# The installed program, not the build tree: `cmake --install` into a scratch
# prefix, then the installed korvane and tessivar-sim started from an
# unrelated folder must find their artwork and data in <prefix>/share/korvane,
# and the menu entry, icons and udev rule must be where the desktop and udev
# look for them.
# Usage: install.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"

prefix="$work/prefix"
echo "# cmake --install into $prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
for f in bin/korvane bin/tessivar-sim share/korvane/img/brakwellLogo.png share/korvane/img/backdrop_[700x592].png \
         share/korvane/bin/factoryset.fap share/korvane/bin/error_log.fvc share/korvane/bin/arpdata.bin \
         share/korvane/bin/dispdata.bin share/applications/korvane.desktop \
         share/icons/hicolor/48x48/apps/korvane.png share/icons/hicolor/128x128/apps/korvane.png \
         share/icons/hicolor/256x256/apps/korvane.png lib/udev/rules.d/60-korvane.rules; do
  check "installed: $f" test -s "$prefix/$f"
done
check "installed programs are executable" test -x "$prefix/bin/korvane" -a -x "$prefix/bin/tessivar-sim"
if command -v desktop-file-validate >/dev/null; then
  check "menu entry passes desktop-file-validate" desktop-file-validate "$prefix/share/applications/korvane.desktop"
fi
entry="$prefix/share/applications/korvane.desktop"
# The entry's own command (its first Exec=; the Action's comes after).
exec_line="$(sed -n 's/^Exec=//p' "$entry" | head -n1)"
demo_line="$(sed -n '/^\[Desktop Action simulated-pedal\]/,$s/^Exec=//p' "$entry")"
check "the menu entry's Action starts the simulated pedal" test "$demo_line" = "korvane --demo"
icon_name="$(sed -n 's/^Icon=//p' "$entry")"
check "menu entry's icon is installed under that name" test -s "$prefix/share/icons/hicolor/48x48/apps/$icon_name.png"
check "menu entry's command is the installed program" test "$(PATH="$prefix/bin:$PATH" command -v "$exec_line")" = "$prefix/bin/korvane"
for size in 48 128 256; do
  got="$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/korvane.png" 2>/dev/null)"
  check "icon ${size}x${size} has that size" test "$got" = "${size}x${size}"
done

# From here on only the installed programs run, from the scratch folder that
# start_app uses, which holds no img/ or bin/.
# The editor is started the way the menu starts it: by the entry's command,
# looked up on the PATH.
export PATH="$prefix/bin:$PATH"
korvane="$exec_line"
sim="$prefix/bin/tessivar-sim"
elsewhere="$work/elsewhere"
mkdir -p "$elsewhere"
cd "$elsewhere" || exit 1

echo "# the installed simulated pedal powers up with the installed factory data"
start_sim --firmware 2.5.3 --serial TSV0777K || exit 1
check "simulator: factory data from the installed folder" \
  grep -qF "factory data from $prefix/share/korvane/bin" "$sim_log"
check "simulator: no built-in stand-ins" test "$(count_of "$sim_log" "(built-in")" -eq 0

echo "# the installed editor, started by the menu entry's command from another folder"
start_app || exit 1
wait_text "$app_out" "Read parameters & title successful"
settle 1
shot installed-startup
import -window "$win" "$work/installed.png"
read -r r g b <<<"$(pixel "$work/installed.png" 958 30)"
check "artwork found: maker logo drawn" test "$r" -gt 200 -a "$g" -gt 150 -a "$b" -lt 80
read -r r g b <<<"$(pixel "$work/installed.png" 700 505)"
check "artwork found: backdrop drawn" test "$r" -gt 120 -a "$g" -gt 120 -a "$b" -gt 120
stop_app

# The same start with the installed artwork taken away: the logo must go, so
# the pictures above came from the installation and from nowhere else (not
# from the source tree the program was built from). A copy installed on this
# machine's system folders would be found instead, so then this is skipped.
system_copy=""
for d in /usr/local/share/korvane /usr/share/korvane "$(sed -n 's/^CMAKE_INSTALL_PREFIX:[A-Z]*=//p' "$build/CMakeCache.txt")/share/korvane"; do
  [[ -f "$d/img/brakwellLogo.png" ]] && system_copy="$d"
done
if [[ -z "$system_copy" ]]; then
  echo "# the installed editor without its installed artwork"
  mv "$prefix/share/korvane/img" "$prefix/share/korvane/img.away"
  start_app || exit 1
  wait_text "$app_out" "Read parameters & title successful"
  settle 1
  import -window "$win" "$work/bare.png"
  read -r r g b <<<"$(pixel "$work/bare.png" 958 30)"
  check "without share/korvane/img no maker logo is drawn" test ! \( "$r" -gt 200 -a "$g" -gt 150 -a "$b" -lt 80 \)
  stop_app
  mv "$prefix/share/korvane/img.away" "$prefix/share/korvane/img"
else
  echo "# (artwork also installed in $system_copy: the check without the installed artwork is skipped)"
fi

# The command line, once the program has one: `korvane list` against the
# simulated pedal, from another folder. Without a display an older program
# that takes no commands fails to open its window instead of waiting.
if (cd "$elsewhere" && env -u DISPLAY timeout 10 "$korvane" list --help >/dev/null 2>&1); then
  echo "# korvane list from another folder"
  before="$(grep -c ' byte: ' "$sim_log" || true)"
  (cd "$elsewhere" && timeout 60 "$korvane" list) >"$work/list.out" 2>"$work/list.err"
  code=$?
  check "korvane list exits with 0" test "$code" -eq 0
  check "korvane list names the simulated pedal" grep -q 'TSV0777K' "$work/list.err"
  check "korvane list prints the 32 slots" test "$(grep -cE '^ *[0-9]+  PC\.[0-9]+ +[0-9]+-[AB] ' "$work/list.out")" -eq 32
  check "korvane list talked to the pedal" test "$(grep -c ' byte: ' "$sim_log" || true)" -gt "$before"
else
  echo "# (no 'korvane list' in this program yet: skipped)"
fi
stop_sim

echo "# screenshots in $shots"
if [[ "$failures" -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"

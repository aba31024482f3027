#!/usr/bin/env bash
# Shared helpers of the end-to-end scripts: a private home, the simulated
# pedal on a pseudo-terminal, the real korvane binary, xdotool and
# screenshots. Sourced by the *.sh scripts beside it.
#
# Every process started here is recorded and ended by the EXIT trap.

# The window is 1070 x 650: it needs a display at least that large (the
# default screen of xvfb-run is 640 x 480). Without one, the script runs
# itself again on a private virtual display: e2e_display "$0" "$@".
e2e_display() {
  local script="$1" w h
  shift
  [[ -n "${E2E_OWN_DISPLAY:-}" ]] && return 0
  if [[ -n "${DISPLAY:-}" ]] && read -r w h < <(xdotool getdisplaygeometry 2>/dev/null) &&
     [[ "${w:-0}" -ge 1100 && "${h:-0}" -ge 700 ]]; then
    return 0
  fi
  E2E_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x800x24 -noreset" bash "$script" "$@"
}

e2e_init() {
  build="$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)"
  src="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
  korvane="$build/korvane"
  sim="$build/tessivar-sim"
  for bin in "$korvane" "$sim"; do
    [[ -x "$bin" ]] || { echo "missing $bin (build it first)"; exit 1; }
  done
  for tool in xdotool import; do
    command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
  done

  work="$(mktemp -d -t korvane-e2e.XXXXXX)"
  pids=()
  e2e_shell=$BASHPID
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM

  # A private home: nothing of the user's is read or written. Its user-dirs
  # file names $HOMEDRIVE the documents folder (the presets folder is
  # $HOMEDRIVE/Brakwell/Korvane/presets) and $USERPROFILE/Desktop the
  # desktop, as the Windows names would.
  export HOME="$work/home"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_STATE_HOME="$HOME/.local/state"
  export XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
  export USERPROFILE="$work/profile"
  export HOMEDRIVE="$work/drive"
  unset KORVANE_DATA_DIR
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$USERPROFILE/Desktop" "$HOMEDRIVE"
  printf 'XDG_DOCUMENTS_DIR="%s"\nXDG_DESKTOP_DIR="%s"\n' "$HOMEDRIVE" "$USERPROFILE/Desktop" \
    >"$XDG_CONFIG_HOME/user-dirs.dirs"
  # The scripts follow the program by its console lines (every USB step),
  # which it writes only when asked.
  export KORVANE_VERBOSE=1
  devices="$work/devices"
  : >"$devices"
  export KORVANE_DEVICES="$devices"
  shots="${E2E_SHOTS:-$work/shots}"
  mkdir -p "$shots"
  failures=0
}

e2e_cleanup() {
  local p
  # A background child signalled before it has exec'd its program still runs
  # this shell's traps: only the script's own shell cleans up.
  [[ "$BASHPID" == "$e2e_shell" ]] || return 0
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do
    for _ in $(seq 1 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
  pids=()
  if [[ -n "${E2E_KEEP:-}" ]]; then echo "kept $work"; else rm -rf "$work"; fi
}

# Stops one process we started and forgets it.
e2e_stop() {
  local pid="$1" p rest=()
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  for p in "${pids[@]}"; do [[ "$p" == "$pid" ]] || rest+=("$p"); done
  pids=("${rest[@]}")
}

check() {   # check "what" command...
  local what="$1"; shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

# Starts the simulated pedal with extra arguments; waits for its line in the
# device list. Sets sim_pid and sim_log.
start_sim() {
  sim_log="$work/sim-$RANDOM.log"
  "$sim" --devices "$devices" --log "$sim_log" "$@" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  pids+=("$sim_pid")
  for _ in $(seq 1 100); do
    [[ -s "$devices" ]] && return 0
    sleep 0.05
  done
  echo "simulator did not come up"; cat "$work/sim.out"; return 1
}

stop_sim() {
  e2e_stop "$sim_pid"
  # The simulator removes its line when it ends; make sure the list is empty.
  : >"$devices"
}

# Starts korvane with stdout to a file; waits for the main window. Sets
# app_pid, app_out and win.
start_app() {
  app_out="$work/korvane-$RANDOM.out"
  (cd "$work" && exec "$korvane") >"$app_out" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
  # The title carries the pedal's serial and an unsaved mark ("*") as well.
  win="$(timeout 30 xdotool search --sync --name '^\*?Brakwell - Korvane 2\.5\.1( - .*)?$' | head -n1)" || true
  [[ -n "$win" ]] || { echo "main window did not appear"; cat "$app_out"; return 1; }
  settle
}

stop_app() { e2e_stop "$app_pid"; }

# Lets the program finish what it is doing and repaint.
settle() { sleep "${1:-1}"; }

# Runs a command again until it succeeds, for up to SECONDS (default 20):
# for checks of what the program shows, which it shows when it gets to it,
# sooner on a quiet machine than on a busy one.
eventually() {   # eventually [-t SECONDS] command...
  local seconds=20 end
  if [[ "$1" == -t ]]; then seconds="$2"; shift 2; fi
  end=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.2
  done
}

# The screen's picture into FILE.
screen_to() { import -window root "$1" 2>/dev/null || xwd -root -silent | convert xwd:- "$1"; }

# True when the screen now differs from the picture in FILE in more than a
# few pixels (a text cursor is not a change).
differs_from() {
  screen_to "$work/now.png"
  [[ "$(compare -metric AE -fuzz 2% "$1" "$work/now.png" null: 2>&1)" -gt 40 ]]
}

# Does ACTION... and waits (up to 20 s) until the screen shows its effect:
# a page, a panel or a menu that opens or closes.
changes() {   # changes action...
  local before="$work/before-change.png"
  screen_to "$before"
  "$@"
  eventually differs_from "$before" || { echo "     the screen did not change after: $*"; return 1; }
  wait_still
}

# Waits (up to 20 s) until two pictures of the screen taken 0.2 s apart are
# the same: the program has drawn what it was drawing.
wait_still() {
  local end=$((SECONDS + 20))
  screen_to "$work/still-a.png"
  while ((SECONDS < end)); do
    sleep 0.2
    screen_to "$work/still-b.png"
    [[ "$(compare -metric AE -fuzz 2% "$work/still-a.png" "$work/still-b.png" null: 2>&1)" -le 40 ]] && return 0
    mv "$work/still-b.png" "$work/still-a.png"
  done
  echo "     the screen did not come to rest"
  return 1
}

# True while one of the program's pop-up menus (the main menu, a choice's
# list) is open.
menu_shown() {
  local w
  for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_MENU && return 0
  done
  return 1
}

# Waits (up to 10 s) until a pop-up menu is open, so that the keys that
# follow reach it.
wait_menu() { eventually -t 10 menu_shown || { echo "     gave up waiting for a menu to open"; return 1; }; }

# Visible top-level windows of the display.
window_count() { xdotool search --onlyvisible --class '^korvane$' 2>/dev/null | wc -l; }

# The visible dialog: a window of the program other than the main one.
dialog_id() { xdotool search --onlyvisible --class '^korvane$' 2>/dev/null | grep -vx "$win" | head -n1; }

# True when the window with this id is no longer shown.
window_gone() { ! xdotool search --onlyvisible --class '^korvane$' 2>/dev/null | grep -qx "$1"; }

# Answers the open dialog with KEY (default Return) and waits (up to 20 s)
# until that dialog has closed, so that a check or another dialog that
# follows is not confused with it.
dismiss_dialog() {
  local d
  d="$(dialog_id)"
  xdotool key "${1:-Return}"
  [[ -z "$d" ]] && return 0
  eventually window_gone "$d" || { echo "     the dialog did not close"; return 1; }
}

# True when the main window is the only one shown.
one_window() { test "$(window_count)" -eq 1; }

# Waits until the number of visible windows is at least n.
wait_windows() {
  local n="$1"
  for _ in $(seq 1 100); do
    [[ "$(window_count)" -ge "$n" ]] && return 0
    sleep 0.1
  done
  return 1
}

# Waits (up to 20 s) until FILE holds TEXT at least N times (default 1).
wait_text() {
  local file="$1" text="$2" n="${3:-1}"
  for _ in $(seq 1 200); do
    [[ "$(count_of "$file" "$text")" -ge "$n" ]] && return 0
    sleep 0.1
  done
  echo "     gave up waiting for '$text' x$n in $(basename "$file")"
  return 1
}

click() {   # click X Y [button] inside the main window
  xdotool mousemove --window "$win" "$1" "$2" click "${3:-1}"
}

shot() {   # shot NAME: the whole screen as NAME.png
  import -window root "$shots/$1.png" 2>/dev/null || xwd -root -silent | convert xwd:- "$shots/$1.png"
  echo "     screenshot $shots/$1.png"
}

# pixel PNG X Y: "R G B" of one pixel.
pixel() {
  convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | tail -n1 | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}

# Saves the status board through its right-click menu and prints the file.
save_board() {
  local before after file
  before="$(ls "$USERPROFILE/Desktop" | wc -l)"
  click 600 625 3
  # The one-item menu opens under the pointer: pick its item.
  wait_menu || return 1
  xdotool mousemove --window "$win" 640 635 click 1
  # Dismiss the message that tells where the file went.
  wait_windows 2 || { echo "     no message after saving the board"; return 1; }
  dismiss_dialog
  for _ in $(seq 1 200); do
    after="$(ls "$USERPROFILE/Desktop" | wc -l)"
    [[ "$after" -gt "$before" ]] && break
    sleep 0.1
  done
  file="$(ls -t "$USERPROFILE"/Desktop/Korvane_Log_*.log 2>/dev/null | head -n1)"
  [[ -n "$file" ]] || return 1
  cat "$file"
}

# True when the lines given appear in the file in this order (fixed strings).
in_order() {
  local file="$1"; shift
  python3 - "$file" "$@" <<'EOF'
import sys
text = open(sys.argv[1], errors="replace").read()
pos = 0
for want in sys.argv[2:]:
    i = text.find(want, pos)
    if i < 0:
        sys.exit(1)
    pos = i + len(want)
EOF
}

count_of() {   # count_of FILE TEXT: number of lines containing TEXT
  grep -cF -- "$2" "$1" || true
}

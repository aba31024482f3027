#!/usr/bin/env bash
# The window's questions and notices as a desktop expects them, against the
# simulated pedal, at 75 %, 100 % and 200 % (each on its own virtual display):
#   1. each dialog has a title (WM_NAME), is transient for the main window,
#      is typed as a dialog (_NET_WM_WINDOW_TYPE_DIALOG) and opens centred
#      over the main window (the pointer is moved away first);
#   2. each follows the zoom: at 200 % it is twice its 100 % size and at 75 %
#      three quarters (within a few pixels), and the 200 % picture scaled
#      down by two falls on the 100 % picture, text, icon and buttons;
# The dialogs: Factory Reset's question, the slot-drop question, the
# replace question of a preset saved under a name in use, and About.
# Usage: dialogs_zoom.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the pictures)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"

if [[ -n "${DIALOG_ZOOM:-}" ]]; then
  E2E_OWN_DISPLAY=1
  unset GDK_SCALE
  export KORVANE_ZOOM="$DIALOG_ZOOM%"
  e2e_init "$@"
  out="$DIALOG_OUT"
  z="$DIALOG_ZOOM"
  s() { echo $((($1 * z + 50) / 100)); }
  zclick() { click "$(s "$1")" "$(s "$2")"; }
  menu_entry() {
    local i
    zclick 990 614
    wait_menu || return 1
    for ((i = 0; i < $1; i++)); do xdotool key Down; sleep 0.05; done
    xdotool key Return
  }
  # Checks the open dialog, keeps its picture and size, and closes it with KEY.
  look_at() {   # look_at NAME KEY
    local d name type transient mx my mw mh
    check "$1 at $z %: the dialog opens" wait_windows 2 || return 1
    wait_still >/dev/null
    d="$(dialog_id)"
    name="$(xprop -id "$d" WM_NAME 2>/dev/null | sed -n 's/^WM_NAME([A-Z_]*) = "\(.*\)"$/\1/p')"
    check "$1 at $z %: it has a title ('$name')" test -n "$name"
    type="$(xprop -id "$d" _NET_WM_WINDOW_TYPE 2>/dev/null)"
    check "$1 at $z %: typed as a dialog ($type)" grep -q '_NET_WM_WINDOW_TYPE_DIALOG' <<<"$type"
    transient="$(xprop -id "$d" WM_TRANSIENT_FOR 2>/dev/null | grep -o '0x[0-9a-f]*')"
    check "$1 at $z %: transient for the main window ($transient, main $(printf '0x%x' "$win"))" \
      test "$((transient))" -eq "$win"
    eval "$(xdotool getwindowgeometry --shell "$win")"
    mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$d")"
    check "$1 at $z %: centred over the main window (${WIDTH}x${HEIGHT} at $X,$Y; main ${mw}x${mh} at $mx,$my)" \
      test $(((2 * X + WIDTH) - (2 * mx + mw))) -ge -4 -a $(((2 * X + WIDTH) - (2 * mx + mw))) -le 4 \
      -a $(((2 * Y + HEIGHT) - (2 * my + mh))) -ge -4 -a $(((2 * Y + HEIGHT) - (2 * my + mh))) -le 4
    echo "$WIDTH $HEIGHT" >"$out/$1-$z.size"
    import -window "$d" "$out/$1-$z.png"
    # There is no window manager: the keys go to the window under the pointer.
    xdotool mousemove --window "$d" 5 5
    dismiss_dialog "$2"
  }

  start_sim --serial TSV0555Q || exit 1
  start_app || exit 1
  wait_text "$app_out" "Read parameters & title successful" || exit 1
  wait_still >/dev/null
  xdotool mousemove 0 0

  menu_entry 7
  xdotool mousemove 0 0
  look_at factory-reset Escape
  menu_entry 1
  xdotool mousemove 0 0
  look_at about Return

  # A slot dragged onto another (PC.1 onto PC.3).
  xdotool mousemove --window "$win" "$(s 30)" "$(s 200)" mousedown 1
  xdotool mousemove --window "$win" "$(s 30)" "$(s 220)"
  xdotool mousemove --window "$win" "$(s 30)" "$(s 250)"
  sleep 0.3
  xdotool mouseup 1
  xdotool mousemove 0 0
  look_at slot-drop Escape

  # The edited preset saved twice under one name: the second time asks.
  for round in 1 2; do
    zclick 1006 551
    wait_still >/dev/null
    zclick 728 326
    xdotool type --delay 30 "Lead"
    zclick 826 454
    wait_still >/dev/null
  done
  xdotool mousemove 0 0
  look_at replace Escape
  exit $((failures > 0))
fi

build="$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)"
out="$(mktemp -d -t korvane-dialogs.XXXXXX)"
trap 'rm -rf "$out"' EXIT
failures=0
for zoom in 75 100 200; do
  DIALOG_ZOOM="$zoom" DIALOG_OUT="$out" \
    xvfb-run -a -s "-screen 0 2400x1500x24 -dpi 96 -noreset" bash "$0" "$build" ||
    failures=$((failures + 1))
done

# Pixels of picture A farther than 25 % from every pixel within one pixel of
# the same place in picture B, and the other way round, after a blur that
# evens out anti-aliasing: the largest share (per mille) in any 16 x 16 tile.
misplaced() {
  local a="$1" b="$2" d w h
  d="$(mktemp -d -p "$out")"
  convert "$a" -colorspace gray -blur 0x1.5 "$d/a.png"
  convert "$b" -colorspace gray -blur 0x1.5 "$d/b.png"
  for pair in "a b" "b a"; do
    set -- $pair
    convert "$d/$2.png" -morphology Dilate Square:1 "$d/max.png"
    convert "$d/$2.png" -morphology Erode Square:1 "$d/min.png"
    convert "$d/$1.png" "$d/max.png" -compose minus_src -composite -threshold 25% "$d/over_$1.png"
    convert "$d/min.png" "$d/$1.png" -compose minus_src -composite -threshold 25% "$d/under_$1.png"
  done
  convert "$d"/over_a.png "$d"/under_a.png "$d"/over_b.png "$d"/under_b.png \
    -background black -compose lighten -flatten "$d/off.png"
  read -r w h < <(identify -format '%w %h' "$d/off.png")
  convert "$d/off.png" -filter box -resize "$((w / 16))x$((h / 16))!" -format '%[fx:int(1000*maxima)]' info:
}

# About's eleven lines drift by their line height, which does not double
# exactly with the font size: it gets more room.
limit=60
for dialog in factory-reset about slot-drop replace; do
  read -r w100 h100 <"$out/$dialog-100.size" 2>/dev/null || { check "$dialog: seen at 100 %" false; continue; }
  for zoom in 75 200; do
    read -r w h <"$out/$dialog-$zoom.size" 2>/dev/null || { check "$dialog: seen at $zoom %" false; continue; }
    want_w=$(((w100 * zoom + 50) / 100)) want_h=$(((h100 * zoom + 50) / 100))
    check "$dialog at $zoom %: ${w}x${h}, its 100 % size ${w100}x${h100} zoomed (${want_w}x${want_h}, within 6 px)" \
      test $((w - want_w)) -ge -6 -a $((w - want_w)) -le 6 -a $((h - want_h)) -ge -6 -a $((h - want_h)) -le 6
  done
  if [[ -s "$out/$dialog-200.png" && -s "$out/$dialog-100.png" ]]; then
    convert "$out/$dialog-200.png" -filter box -resize "${w100}x${h100}!" "$out/$dialog-half.png"
    off="$(misplaced "$out/$dialog-half.png" "$out/$dialog-100.png")"
    lim=$limit
    [[ $dialog == about ]] && lim=90
    check "$dialog: the 200 % picture scaled down falls on 100 % (worst tile $off per mille, limit $lim)" \
      test "$off" -le "$lim"
  fi
done

# The measure's own check: the replace question's buttons moved 8 pixels left.
if [[ -s "$out/replace-100.png" ]]; then
  read -r w100 h100 <"$out/replace-100.size"
  convert "$out/replace-100.png" \( "$out/replace-100.png" -crop 260x40+$((w100 - 270))+$((h100 - 40)) +repage \) \
    -geometry +$((w100 - 278))+$((h100 - 40)) -composite "$out/moved.png"
  moved="$(misplaced "$out/moved.png" "$out/replace-100.png")"
  check "buttons moved by 8 pixels are caught (worst tile $moved per mille)" test "$moved" -gt "$limit"
fi

if [[ -n "${E2E_SHOTS:-}" ]]; then
  mkdir -p "$E2E_SHOTS" && cp "$out"/*.png "$E2E_SHOTS/" && echo "     pictures in $E2E_SHOTS"
fi
exit $((failures > 0))

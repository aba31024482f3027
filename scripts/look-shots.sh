#!/usr/bin/env bash
# Pictures to look at: every page of the window, the three settings panels
# (Global, MIDI, Update Firmware), the Library page, the offline prompt and
# every question and notice the window asks, at 75 %, 100 % and 200 %, and
# at 100 % with DejaVu Sans as the only font (a private fontconfig setup
# that hides Liberation). Against the simulated pedal, each variant on its
# own virtual display, with a scratch home. The dialogs are taken alone.
# Usage: scripts/look-shots.sh [BUILD_DIR] [OUT_DIR] [VARIANT...]
#        variants: 75 100 200 dejavu (default: all four); OUT_DIR defaults
#        to a new folder under /tmp, printed at the end.
set -uo pipefail

if [[ -n "${LOOK_VARIANT:-}" ]]; then
  E2E_OWN_DISPLAY=1
  # shellcheck source=../tests/e2e/common.bash
  source "$(dirname "$0")/../tests/e2e/common.bash"
  unset GDK_SCALE
  out="$LOOK_OUT"
  E2E_SHOTS="$out/screens-$LOOK_VARIANT"
  e2e_init "$1"
  v="$LOOK_VARIANT"
  z=100
  [[ "$v" =~ ^[0-9]+$ ]] && z="$v"
  export KORVANE_ZOOM="$z%"
  if [[ "$v" == dejavu ]]; then
    # Only the DejaVu folder is known to fontconfig: "Arial" and "Helvetica"
    # fall back to DejaVu Sans, as on a system without Liberation.
    mkdir -p "$work/fontconfig"
    cat >"$work/fontconfig/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <cachedir>$work/fontconfig/cache</cachedir>
  <alias><family>Arial</family><prefer><family>DejaVu Sans</family></prefer></alias>
  <alias><family>sans-serif</family><prefer><family>DejaVu Sans</family></prefer></alias>
</fontconfig>
EOF
    export FONTCONFIG_FILE="$work/fontconfig/fonts.conf"
  fi
  s() { echo $((($1 * z + 50) / 100)); }
  # The tabs' centres in window pixels: label widths do not scale exactly
  # with the zoom and differ between fonts.
  case "$v" in
    75) tab_x=(320 395 452 515) ;;
    200) tab_x=(825 978 1141 1280) ;;
    dejavu) tab_x=(430 530 617 691) ;;
    *) tab_x=(420 517 600 668) ;;
  esac
  tab() { click "${tab_x[$1]}" "$(s 41)"; }
  zclick() { click "$(s "$1")" "$(s "$2")"; }
  win_shot() { wait_still >/dev/null; import -window "$win" "$out/$v-$1.png"; echo "     $out/$v-$1.png"; }
  # The dialog that opened, alone; then KEY closes it.
  dialog_shot() {
    local d
    if ! wait_windows 2; then echo "     no dialog for $1"; return 1; fi
    wait_still >/dev/null
    d="$(dialog_id)"
    import -window "$d" "$out/$v-dialog-$1.png"
    echo "     $out/$v-dialog-$1.png ($(xdotool getwindowname "$d"))"
    dismiss_dialog "${2:-Escape}"
  }
  menu_entry() {   # menu_entry DOWNS: the n-th entry that can be picked
    local i
    zclick 990 614
    wait_menu || return 1
    for ((i = 0; i < $1; i++)); do xdotool key Down; sleep 0.05; done
    xdotool key Return
  }
  fresh_app() {
    [[ -n "${app_pid:-}" ]] && stop_app
    start_app || exit 1
    wait_text "$app_out" "Read parameters & title successful" || exit 1
    wait_still >/dev/null
  }

  start_sim --serial TSV0555Q || exit 1
  # Eleven presets in the library, for its rows.
  DISPLAY= "$korvane" presets export "$work/some.tessivar.json" --slots 1-11 >/dev/null 2>&1
  DISPLAY= "$korvane" presets import "$work/some.tessivar.json" >/dev/null 2>&1
  fresh_app
  grep -o 'Window zoom .*' "$app_out" | head -n1
  win_shot dashboard
  tab 1; win_shot expression
  tab 2; win_shot arp-editor
  tab 3; win_shot library
  # A slot dragged onto another: the slot-drop question.
  xdotool mousemove --window "$win" "$(s 30)" "$(s 200)" mousedown 1
  xdotool mousemove --window "$win" "$(s 30)" "$(s 220)"
  xdotool mousemove --window "$win" "$(s 30)" "$(s 250)"
  sleep 0.3
  xdotool mouseup 1
  dialog_shot slot-drop
  tab 0; win_shot dashboard-again
  # Slot 8 (PC.7) runs an arp algorithm on DSP-Y: the Arp Editor with its sequences.
  reads="$(count_of "$app_out" "Read parameters & title successful")"
  zclick 85 350
  wait_text "$app_out" "Read parameters & title successful" $((reads + 1))
  tab 2; win_shot arp-editor-sequences
  tab 0
  zclick 173 628; win_shot infographic
  zclick 173 628

  menu_entry 1; dialog_shot about Return
  menu_entry 5; dialog_shot serial-number Return
  menu_entry 7; dialog_shot factory-reset
  menu_entry 8; dialog_shot update-library
  menu_entry 11; win_shot global-settings
  fresh_app
  menu_entry 12; win_shot midi-settings
  fresh_app
  menu_entry 6; win_shot update-firmware
  fresh_app

  # The offline prompt, a preset saved, then the same name again.
  for round in 1 2; do
    zclick 1006 551
    [[ $round == 1 ]] && win_shot offline-prompt
    zclick 728 326
    xdotool type --delay 30 "Lead"
    zclick 826 454
    [[ $round == 2 ]] && dialog_shot replace-preset
    wait_still >/dev/null
  done
  stop_app
  stop_sim
  exit 0
fi

build="$(cd "${1:-build}" && pwd)"
out="${2:-}"
if [[ -z "$out" ]]; then out="$(mktemp -d -t korvane-look.XXXXXX)"; fi
mkdir -p "$out"
out="$(cd "$out" && pwd)"
shift $(($# > 2 ? 2 : $#))
variants=("$@")
((${#variants[@]})) || variants=(75 100 200 dejavu)
for v in "${variants[@]}"; do
  echo "# $v"
  LOOK_VARIANT="$v" LOOK_OUT="$out" \
    xvfb-run -a -s "-screen 0 2400x1500x24 -dpi 96 -noreset" bash "$0" "$build"
done
echo "pictures in $out"

#!/usr/bin/env bash
# Texts and boxes where they belong, at 100 % with the layout's fonts
# (Liberation) and with DejaVu Sans as the only font (a private fontconfig
# setup, as on a system without Liberation), against the simulated pedal:
#   1. DSP-X's right-hand value boxes stay inside the Dashboard's frame;
#   2. the Arp Editor's card ("No arp algorithm") shows nothing of the hidden
#      editor below it ("< click to load >", its frame); with an arp
#      algorithm, the sequences' frame is closed at the bottom;
#   3. the slot list's "PC (MIDI)" head stays out of the Dashboard and "Save
#      preset in computer" inside the window, in either font.
# Each check reads a strip of the window's picture where the fault drew.
# Usage: layout_fonts.sh BUILD_DIR   (E2E_SHOTS=DIR keeps the screenshots there)
set -uo pipefail

# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
e2e_display "$0" "$@"
e2e_init "$@"
export KORVANE_ZOOM=100%

# Share (per mille) of a strip's pixels brighter (or darker) than a level.
bright() { convert "$1" -crop "$2" +repage -colorspace gray -threshold "$3%" -format '%[fx:int(1000*mean)]' info:; }
dark() { convert "$1" -crop "$2" +repage -colorspace gray -negate -threshold "$((100 - $3))%" -format '%[fx:int(1000*mean)]' info:; }

start_sim || exit 1
for fonts in liberation dejavu; do
  if [[ $fonts == dejavu ]]; then
    mkdir -p "$work/fontconfig"
    cat >"$work/fontconfig/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <cachedir>$work/fontconfig/cache</cachedir>
</fontconfig>
EOF
    export FONTCONFIG_FILE="$work/fontconfig/fonts.conf"
  fi
  start_app || exit 1
  wait_text "$app_out" "Read parameters & title successful" || exit 1
  wait_still >/dev/null
  pic="$shots/layout-$fonts-dashboard.png"
  import -window "$win" "$pic"
  # The Dashboard's frame ends at x 1065; the strip right of it to the window's edge.
  check "$fonts: DSP-X's value boxes inside the frame (white in the strip: $(bright "$pic" 8x90+1061+165 96) per mille)" \
    test "$(bright "$pic" 8x90+1061+165 96)" -eq 0
  # The Dashboard's top left, right of the list's heads: its grey, no white letters.
  check "$fonts: \"PC (MIDI)\" stays out of the Dashboard ($(bright "$pic" 30x14+380+112 92) per mille white)" \
    test "$(bright "$pic" 30x14+380+112 92)" -eq 0
  # The window's last 6 pixels beside the caption: no dark letters cut at the edge.
  check "$fonts: \"Save preset in computer\" inside the window ($(dark "$pic" 6x16+1064+507 35) per mille dark)" \
    test "$(dark "$pic" 6x16+1064+507 35)" -eq 0
  if [[ $fonts == liberation ]]; then
    changes click 600 41
    pic="$shots/layout-$fonts-arp.png"
    import -window "$win" "$pic"
    # Under the card (its edge is at y 570): the page's dark ground only.
    check "arp card: nothing of the hidden editor below it ($(bright "$pic" 440x18+400+572 45) per mille light)" \
      test "$(bright "$pic" 440x18+400+572 45)" -eq 0
    # Slot 8 (PC.7) runs an arp algorithm: the sequences' frame is closed below.
    changes click 420 41
    reads="$(count_of "$app_out" "Read parameters & title successful")"
    click 85 350
    wait_text "$app_out" "Read parameters & title successful" $((reads + 1))
    changes click 600 41
    pic="$shots/layout-$fonts-arp-sequences.png"
    import -window "$win" "$pic"
    check "arp sequences: the frame's bottom edge ($(bright "$pic" 400x2+420+576 25) per mille of it drawn)" \
      test "$(bright "$pic" 400x2+420+576 25)" -gt 900
  fi
  stop_app
done
stop_sim

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }

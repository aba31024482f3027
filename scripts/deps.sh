#!/usr/bin/env bash
# Installs what building, running and testing Korvane needs, from Debian's
# packages, and what checking the installed files and making the Debian package
# needs (desktop-file-validate, appstreamcli, udevadm, dpkg-shlibdeps, file,
# strip, man), and clang with libFuzzer for the fuzzing build
# (scripts/fuzz.sh). Run as root (or with sudo); does nothing when all is there.
set -euo pipefail
pkgs=(cmake g++ make pkg-config libfltk1.3-dev fluid libpng-dev zlib1g-dev libx11-dev
      googletest libgtest-dev xvfb xauth xdotool x11-apps x11-utils x11-xserver-utils openbox wmctrl imagemagick procps
      fonts-liberation2 python3
      desktop-file-utils udev dpkg-dev file binutils
      clang libclang-rt-14-dev nlohmann-json3-dev lintian appstream man-db zsh)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

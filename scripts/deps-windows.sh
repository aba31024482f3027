#!/usr/bin/env bash
# Installs what building Korvane for Windows on Linux and testing it under
# Wine needs, from Debian's packages: MinGW-w64 with posix threads, its zlib,
# Wine (the wine64 package alone puts no wine on PATH: both are needed), and
# GoogleTest's sources, built for Windows with the program. Run as root (or
# with sudo); does nothing when all is there.
set -euo pipefail
pkgs=(cmake make g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 googletest
      nlohmann-json3-dev)
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

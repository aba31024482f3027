#!/usr/bin/env bash
# Builds the Debian package of Korvane into build-deb/: the editor, the
# simulated pedal, their artwork and data, the menu entry, icons and AppStream
# metainfo, the udev rule, the manual pages, bash's completion and the user's
# documentation, installed under /usr, built with Debian's hardening flags
# (CMakeLists.txt) and stripped as dh_strip does (packaging/strip.sh). Installs
# what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF >/dev/null
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack -G DEB)
ls -1 build-deb/korvane_*.deb

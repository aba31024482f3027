#!/usr/bin/env bash
# The Debian package: `cpack -G DEB` on this build must give a .deb that
# holds both programs, the data, the menu entry, the icons and the udev rule
# under /usr, declares the packages of the shared libraries it needs, and
# reloads udev's rules when it is installed.
# Usage: package_deb.sh BUILD_DIR
set -uo pipefail
build="$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)"
src="$(cd "$(dirname "$0")/../.." && pwd)"
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh installs it)"; exit 1; }
done
work="$(mktemp -d -t korvane-deb.XXXXXX)"
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  local what="$1"; shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; echo "cpack failed"; exit 1; }
deb="$(ls "$work"/out/korvane_*.deb 2>/dev/null | head -n1)"
[[ -n "$deb" ]] || { cat "$work/cpack.log"; echo "no .deb made"; exit 1; }
echo "# $(basename "$deb"): $(stat -c %s "$deb") bytes"

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/korvane /usr/bin/tessivar-sim \
         /usr/share/korvane/img/brakwellLogo.png /usr/share/korvane/img/backdrop_[700x592].png \
         /usr/share/korvane/bin/factoryset.fap /usr/share/korvane/bin/error_log.fvc \
         /usr/share/korvane/bin/arpdata.bin /usr/share/korvane/bin/dispdata.bin \
         /usr/share/applications/korvane.desktop \
         /usr/share/icons/hicolor/48x48/apps/korvane.png /usr/share/icons/hicolor/128x128/apps/korvane.png \
         /usr/share/icons/hicolor/256x256/apps/korvane.png /usr/lib/udev/rules.d/60-korvane.rules \
         /usr/share/man/man1/korvane.1.gz /usr/share/man/man1/tessivar-sim.1.gz \
         /usr/share/doc/korvane/README.md /usr/share/doc/korvane/copyright /usr/share/doc/korvane/changelog.gz; do
  check "holds $f" grep -qxF "$f" "$work/files"
done
check "every artwork and data file is packed" \
  test "$(grep -c '^/usr/share/korvane/\(img\|bin\)/[^/]\+$' "$work/files")" -eq "$(ls "$src/img" "$src/bin" | grep -c '\.')"
check "nothing outside /usr" test "$(grep -v '^/usr' "$work/files" | grep -vx '/' | wc -l)" -eq 0

depends="$(dpkg-deb -f "$deb" Depends)"
echo "     Depends: $depends"
check "depends on the toolkit's packages" grep -q 'libfltk1.3' <<<"$depends"
check "depends on the toolkit's image library" grep -q 'libfltk-images1.3' <<<"$depends"
check "depends on the C++ runtime" grep -q 'libstdc++6' <<<"$depends"
check "package name and version" test "$(dpkg-deb -f "$deb" Package Version | tr '\n' ' ')" = "Package: korvane Version: 2.5.1 "

dpkg-deb -e "$deb" "$work/control"
check "postinst reloads udev's rules" grep -q 'udevadm control --reload-rules' "$work/control/postinst"
check "postinst may run" test -x "$work/control/postinst"
check "postinst is valid shell" sh -n "$work/control/postinst"
check "postrm is valid shell" sh -n "$work/control/postrm"

# The packed programs run from where the package puts them: unpacked into a
# scratch root, the simulator finds the packed factory data beside it.
dpkg-deb -x "$deb" "$work/root"
if command -v desktop-file-validate >/dev/null; then
  check "packed menu entry passes desktop-file-validate" \
    desktop-file-validate "$work/root/usr/share/applications/korvane.desktop"
fi
( cd "$work" && exec "$work/root/usr/bin/tessivar-sim" --devices "$work/devices" --log "$work/sim.log" ) \
  >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 100); do [[ -s "$work/devices" ]] && break; sleep 0.05; done
kill -TERM "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
check "packed simulator powers up with the packed data" \
  grep -qF "factory data from $work/root/usr/share/korvane/bin" "$work/sim.log"

# The manual pages say what the programs say.
man_text() { MANWIDTH=200 man -l "$1" 2>/dev/null | col -b; }
if command -v man >/dev/null; then
  man_text "$work/root/usr/share/man/man1/korvane.1.gz" >"$work/korvane.man"
  check "korvane(1) names the version" grep -q "korvane 2.5.1" "$work/korvane.man"
  check "korvane(1) holds every command's usage" \
    test "$(grep -c '^ *Usage: korvane [a-z-]* ' "$work/korvane.man")" -ge 12
  check "korvane(1) names firmware's --allow-downgrade" grep -q -- "--allow-downgrade" "$work/korvane.man"
  man_text "$work/root/usr/share/man/man1/tessivar-sim.1.gz" >"$work/sim.man"
  check "tessivar-sim(1) names --firmware" grep -q -- "--firmware" "$work/sim.man"
fi
if command -v lintian >/dev/null; then
  lintian "$deb" >"$work/lintian.txt" 2>/dev/null
  sed 's/^/     lintian: /' "$work/lintian.txt"
  check "lintian reports no errors" bash -c "! grep -q '^E: ' '$work/lintian.txt'"
fi

if [[ "$failures" -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"

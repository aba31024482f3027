#!/usr/bin/env bash
# The Debian package: `cpack -G DEB` on this build must give a .deb that
# holds both programs, the data, the menu entry, the icons, the AppStream
# metainfo, the manual pages, bash's completion, the user's documentation and
# the udev rule under /usr, declares the packages it needs, reloads udev's
# rules when it is installed, and that desktop-file-validate, appstreamcli
# validate and lintian -I --pedantic find nothing to say about.
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
         /usr/share/icons/hicolor/scalable/apps/korvane.svg /usr/lib/udev/rules.d/60-korvane.rules \
         /usr/share/metainfo/example.korvane.korvane.metainfo.xml \
         /usr/share/man/man1/korvane.1.gz /usr/share/man/man1/tessivar-sim.1.gz \
         /usr/share/bash-completion/completions/korvane /usr/share/zsh/vendor-completions/_korvane \
         /usr/share/doc/korvane/README.md /usr/share/doc/korvane/copyright /usr/share/doc/korvane/changelog.gz \
         /usr/share/doc/korvane/formats.md /usr/share/doc/korvane/example.tessivar.json; do
  check "holds $f" grep -qxF "$f" "$work/files"
done
for size in 16 22 24 32 48 64 128 256; do
  check "holds the ${size} px icon" grep -qxF "/usr/share/icons/hicolor/${size}x${size}/apps/korvane.png" "$work/files"
done
check "every artwork and data file is packed" \
  test "$(grep -c '^/usr/share/korvane/\(img\|bin\)/[^/]\+$' "$work/files")" -eq "$(ls "$src/img" "$src/bin" | grep -c '\.')"
check "nothing outside /usr" test "$(grep -v '^/usr' "$work/files" | grep -vx '/' | wc -l)" -eq 0

depends="$(dpkg-deb -f "$deb" Depends)"
echo "     Depends: $depends"
check "depends on the toolkit's packages" grep -q 'libfltk1.3' <<<"$depends"
check "depends on the toolkit's image library" grep -q 'libfltk-images1.3' <<<"$depends"
check "depends on the C++ runtime" grep -q 'libstdc++6' <<<"$depends"
check "depends on the fonts the layout is measured with" grep -q 'fonts-liberation2' <<<"$depends"
check "xdg-utils only suggested" \
  test "$(dpkg-deb -f "$deb" Suggests)" = "xdg-utils" -a -z "$(dpkg-deb -f "$deb" Recommends | grep xdg)"
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
check "the user's README is packed, not the developer's" \
  bash -c "grep -q '## The udev rule' '$work/root/usr/share/doc/korvane/README.md' && ! grep -q 'build/' '$work/root/usr/share/doc/korvane/README.md'"
check "copyright names the MIT licence and what is compiled in" \
  bash -c 'grep -q "^License: Expat" "$1" && grep -q "nlohmann" "$1" && ! grep -qi "not redistributed" "$1"' \
  _ "$work/root/usr/share/doc/korvane/copyright"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$work/root/usr/share/metainfo/example.korvane.korvane.metainfo.xml" \
    >"$work/appstream.txt" 2>&1
  as_status=$?
  sed 's/^/     appstream: /' "$work/appstream.txt"
  # The one note left: the id's domain, korvane.example, is not a known one.
  check "appstreamcli validate accepts the metainfo, no note but the id's domain" \
    bash -c "[ $as_status -eq 0 ] && ! grep -E '^[EWIP]: ' '$work/appstream.txt' | grep -v 'cid-maybe-not-rdns' | grep -q ."
fi
( cd "$work" && exec "$work/root/usr/bin/tessivar-sim" --devices "$work/devices" --log "$work/sim.log" ) \
  >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 100); do [[ -s "$work/devices" ]] && break; sleep 0.05; done
kill -TERM "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
check "packed simulator powers up with the packed data" \
  grep -qF "factory data from $work/root/usr/share/korvane/bin" "$work/sim.log"

# The manual pages, read at the width of an 80-column terminal: every
# section, every command, no line wider than the terminal.
man_text() { MANWIDTH=80 MAN_KEEP_FORMATTING= man -l "$1" 2>/dev/null | col -bx; }
if command -v man >/dev/null; then
  man_text "$work/root/usr/share/man/man1/korvane.1.gz" >"$work/korvane.man"
  man_text "$work/root/usr/share/man/man1/tessivar-sim.1.gz" >"$work/sim.man"
  for page in korvane sim; do
    check "$page's manual page has no line over 80 columns" \
      test "$(awk 'length > 80' "$work/$page.man" | wc -l)" -eq 0
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES "SEE ALSO"; do
      check "$page's manual page has $section" grep -qx "$section" "$work/$page.man"
    done
  done
  check "korvane(1) names the version" grep -q "korvane 2.5.1" "$work/korvane.man"
  check "korvane(1) has COMMANDS" grep -qx "COMMANDS" "$work/korvane.man"
  for c in $("$build/korvane" --help | sed -n '/^Commands:/,/^$/p' | sed -E -n 's/^  ([a-z-]+) .*/\1/p'); do
    check "korvane(1) tells about $c" grep -qE "^   $c\$" "$work/korvane.man"
  done
  for v in KORVANE_DEVICES KORVANE_ZOOM XDG_CONFIG_HOME XDG_STATE_HOME GDK_SCALE; do
    check "korvane(1) names $v" grep -q "$v" "$work/korvane.man"
  done
  check "korvane(1) names firmware's --allow-downgrade" grep -q -- "--allow-downgrade" "$work/korvane.man"
  # Every option of every command, as the parser declares it, is in the
  # manual page under its command with its description.
  check "korvane(1) describes every option of every command" python3 - "$build/grammar.json" "$work/korvane.man" <<'PY'
import json, re, sys
grammar = json.load(open(sys.argv[1]))
page = re.sub(r"\s+", " ", open(sys.argv[2]).read())
missing = []
def look(command, options):
    start = page.find("Options of " + command + ":")
    part = page[start:] if start >= 0 else page
    for o in options:
        words = " ".join(o["description"].split()[:4])
        if o["names"][-1] not in page or words not in part:
            missing.append(command + " " + o["names"][-1])
for c in grammar["commands"]:
    look(c["name"], [o for o in c["options"] if o["names"][-1] not in ("--port", "--verbose", "--quiet", "--help")])
    for sub in c.get("subcommands", []):
        look(c["name"] + " " + sub["name"], sub.get("options", []))
for o in grammar["options"]:
    if o["names"][-1] not in page:
        missing.append(o["names"][-1])
if missing:
    print("not in korvane(1):", ", ".join(missing))
    sys.exit(1)
PY
  check "tessivar-sim(1) names --firmware" grep -q -- "--firmware" "$work/sim.man"
fi
# lintian with every note, pedantic ones too: nothing but what is listed
# here, each with its reason:
# - "algororithm": no text says it; strings(1) reads it from the overlapping
#   8-byte stores the compiler writes "is not an algorithm" with;
# - "editting", "occured", "sucessful": misspellings in the window's and the
#   console's texts, to be corrected with the rest of the program's wording.
lintian_known='spelling-error-in-binary (algororithm algorithm|editting editing|occured occurred|sucessful successful) '
if command -v lintian >/dev/null; then
  lintian -I --pedantic "$deb" >"$work/lintian.txt" 2>/dev/null
  sed 's/^/     lintian: /' "$work/lintian.txt"
  check "lintian -I --pedantic has nothing to say but the known notes" \
    bash -c "! grep -E '^[EWIPX]: ' '$work/lintian.txt' | grep -vE '$lintian_known' | grep -q ."
fi

if [[ "$failures" -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"

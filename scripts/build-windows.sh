#!/usr/bin/env bash
# Builds Korvane for 64-bit Windows on Debian and packs its installer:
#
#   bash scripts/build-windows.sh            # tools, FLTK, korvane.exe, tests under Wine, installer
#   bash scripts/build-windows.sh --no-tests # the same without running the tests
#
# 1. tools: Debian's MinGW-w64 compiler (posix threads), Wine, NSIS and
#    MinGW's zlib, installed when missing (needs root or sudo).
# 2. FLTK: Debian has no FLTK built for Windows, so the toolkit is built here
#    from Debian's own source package of FLTK 1.3, fetched through a private
#    apt state (its own sources list with one deb-src line, its own lists and
#    cache; apt checks the tarball's hash against the signed index). Whatever
#    1.3 version the index offers is taken. Its static libraries go into a
#    cache folder outside the clone, keyed by the FLTK and compiler versions,
#    and are reused from there on every later run (then no network is needed;
#    KORVANE_FLTK_REFRESH=1 reads the index again). FLTK is never copied
#    into the repository.
# 3. build: korvane.exe (the window and the command line in one program) and
#    the test programs, with cmake/toolchain-mingw-w64.cmake, in build-win/.
# 4. tests: ctest runs the Windows test programs under Wine, in a scratch
#    Wine prefix (never the user's home).
# 5. installer: build-win/korvane-<version>-setup.exe (packaging/windows/).
#
# Each step says how long it took.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KORVANE_WIN_BUILD:-$root/build-win}
cache=${KORVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvane}
jobs=${KORVANE_JOBS:-$(nproc)}
toolchain=$root/cmake/toolchain-mingw-w64.cmake
cxx=x86_64-w64-mingw32-g++-posix
run_tests=1
[ "${1:-}" = "--no-tests" ] && run_tests=0

timed() {
  local name=$1 t0=$SECONDS
  shift
  "$@"
  echo "build-windows: $name: $((SECONDS - t0)) s" >&2
}

install_tools() {
  local pkgs=(cmake make ccache g++-mingw-w64-x86-64-posix wine wine64 nsis libz-mingw-w64-dev
              googletest nlohmann-json3-dev libcli11-dev xz-utils) missing=() p
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
    --no-install-recommends "${missing[@]}" >/dev/null
}

# The FLTK source tarball from Debian's archive, through apt state of our own
# (no root needed, nothing of the system's apt state touched). Prints the
# upstream version fetched; the tarball lands in $cache/fltk-src/.
fetch_fltk_source() {
  local apt=$cache/apt-src
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$cache/fltk-src"
  echo "deb-src ${KORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian} ${KORVANE_FLTK_SUITE:-trixie} main" \
    >"$apt/sources.list"
  local opts=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o Dir::Etc::sourceparts=-
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
              -o "Dir::State::status=/dev/null" -o APT::Get::List-Cleanup=0 -o Debug::NoLocking=1
              -o APT::Update::Post-Invoke-Success::=)
  if [ "$(id -u)" -eq 0 ]; then opts+=(-o APT::Sandbox::User=root); fi
  apt-get "${opts[@]}" -qq update >&2
  local version
  version=$(apt-cache "${opts[@]}" showsrc fltk1.3 | sed -n 's/^Version: //p' | grep '^1\.3\.' | sort -V | tail -1)
  [ -n "$version" ] || { echo "build-windows: Debian's index offers no FLTK 1.3 source" >&2; return 1; }
  (cd "$cache/fltk-src" && apt-get "${opts[@]}" -qq source --tar-only "fltk1.3=$version" >&2)
  local upstream=${version%-*}
  upstream=${upstream#*:}
  ls "$cache/fltk-src/fltk1.3_${upstream}.orig.tar."* >/dev/null
  echo "$upstream"
}

# FLTK's static libraries and headers for Windows in $fltk (set here).
build_fltk() {
  local gccver fltkver
  gccver=$($cxx -dumpfullversion)
  fltkver=""
  if [ -z "${KORVANE_FLTK_REFRESH:-}" ]; then
    fltkver=$(find "$cache" -maxdepth 1 -name "fltk-win-*-$gccver" -printf '%f\n' 2>/dev/null |
              sed "s/^fltk-win-//; s/-$gccver\$//" | sort -V | tail -1)
  fi
  if [ -n "$fltkver" ] && [ -f "$cache/fltk-win-$fltkver-$gccver/lib/libfltk.a" ]; then
    fltk=$cache/fltk-win-$fltkver-$gccver
    echo "build-windows: FLTK $fltkver from $fltk" >&2
    return 0
  fi
  fltkver=$(fetch_fltk_source)
  fltk=$cache/fltk-win-$fltkver-$gccver
  [ -f "$fltk/lib/libfltk.a" ] && return 0
  local work=$cache/fltk-build-$fltkver-$gccver
  rm -rf "$work" "$fltk.partial"
  mkdir -p "$work/src"
  tar -xf "$cache/fltk-src/fltk1.3_${fltkver}.orig.tar."* -C "$work/src" --strip-components=1
  # Its own png, zlib and jpeg, no OpenGL, no test or documentation; the
  # static libraries only. Installed into a partial folder that becomes the
  # cache entry only when complete.
  cmake -S "$work/src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$fltk.partial" \
        -DOPTION_USE_GL=OFF -DFLTK_BUILD_TEST=OFF -DFLTK_BUILD_EXAMPLES=OFF \
        -DOPTION_BUILD_HTML_DOCUMENTATION=OFF -DOPTION_BUILD_PDF_DOCUMENTATION=OFF \
        -DOPTION_BUILD_SHARED_LIBS=OFF -DOPTION_USE_SYSTEM_LIBJPEG=OFF \
        -DOPTION_USE_SYSTEM_ZLIB=OFF -DOPTION_USE_SYSTEM_LIBPNG=OFF >"$work/configure.log"
  cmake --build "$work/build" -j"$jobs" >"$work/build.log"
  cmake --install "$work/build" >"$work/install.log"
  mv "$fltk.partial" "$fltk"
  rm -rf "$work"
}

configure_and_build() {
  # In CI (CI set and not empty) warnings fail the build, as on Linux.
  local werror=OFF
  [[ -n "${CI:-}" ]] && werror=ON
  # -O2 as on Linux: GCC 12 at -O3 warns falsely inside libstdc++ (-Wrestrict).
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DKORVANE_GUI=ON -DKORVANE_FLTK_WIN="$fltk" -DKORVANE_WERROR="$werror" >/dev/null
  cmake --build "$build" -j"$jobs"
}

# In a subshell: the Wine of our own (scripts/wine-env.sh) changes HOME.
run_wine_tests() (
  . "$root/scripts/wine-env.sh"
  wine_start "$build/wine"
  trap wine_stop EXIT
  cd "$build" && ctest --output-on-failure -j"$jobs" --timeout 300
)

make_installer() {
  cmake --build "$build" --target installer
  ls -l "$build"/korvane-*-setup.exe >&2
}

timed tools install_tools
timed fltk build_fltk
timed build configure_and_build
((run_tests)) && timed tests run_wine_tests
timed installer make_installer

# Sourced by the scripts that run the Windows build on this machine:
#
#   . scripts/wine-env.sh
#   wine_start [PREFIX]   # a Wine of our own, ready; PREFIX default build-win/wine
#   ...                   # wine build-win/korvane.com list --port COM5
#   wine_stop             # ends that prefix's wineserver and its programs
#
# The Wine prefix is a scratch folder, never the user's ~/.wine, and HOME
# points beside it too, so that Wine links none of the user's own folders
# (Documents, Desktop) into it. No Mono, no Gecko and no menu entries are
# installed. A persistent wineserver is started and the prefix finished
# before anything runs: otherwise every program pays the server's start
# (about 4 s), and a program whose output is captured can keep a pipe open
# through the server and hang whoever reads it.

wine_start() {
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  local prefix=${1:-${KORVANE_WINEPREFIX:-$here/build-win/wine}}
  mkdir -p "$prefix" "$prefix-home"
  export WINEPREFIX=$prefix WINEARCH=win64
  export HOME=$prefix-home XDG_CONFIG_HOME=$prefix-home/.config XDG_DATA_HOME=$prefix-home/.local/share
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  wineserver -p
  if ! timeout 300 wine cmd /c exit </dev/null >/dev/null 2>&1; then
    echo "wine-env: the Wine prefix $prefix did not start within 300 s" >&2
    return 1
  fi
}

wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
}

#!/usr/bin/env bash
# Runs a command with HOME pointing at a fresh, empty sentinel folder (the
# XDG folders unset, so they would default into it) and fails when anything
# has appeared in it afterwards: the tests must make their own scratch homes
# and never write into the user's.
#
#   scripts/sentinel-home.sh COMMAND [ARGS...]
#
# The compiler cache stays where it was (CCACHE_DIR, else the real home's).
set -uo pipefail
[[ $# -gt 0 ]] || { echo "usage: $0 COMMAND [ARGS...]"; exit 2; }
real_home="${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}"
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$real_home/.cache}/ccache}"
sentinel="$(mktemp -d -t korvane-sentinel-home.XXXXXX)"
(
  export HOME="$sentinel"
  unset XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME XDG_CACHE_HOME KORVANE_DATA_DIR HOMEDRIVE USERPROFILE
  "$@"
)
status=$?
left="$(cd "$sentinel" && find . -mindepth 1 | sort)"
if [[ -n "$left" ]]; then
  echo "sentinel-home: the run wrote into the home folder ($sentinel):"
  sed 's/^/  /' <<<"$left"
  rm -rf "$sentinel"
  exit 1
fi
rm -rf "$sentinel"
exit "$status"

#!/usr/bin/env bash
# Bash's completion of korvane, as the build writes it from the command
# line's grammar (BUILD_DIR/completion/korvane): each line of the table is
# typed into a bash that has sourced it, the completion function is run as
# bash runs it on Tab, and the candidates are compared. Preset and setlist
# names come from a scratch presets folder, files from a scratch folder.
# zsh's completion file, which loads the same function, is checked too.
# Usage: completion.sh BUILD_DIR
set -uo pipefail
build="$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)"
script="$build/completion/korvane"
[[ -f "$script" ]] || { echo "no $script (the build writes it with python3)"; exit 1; }
work="$(mktemp -d -t korvane-completion.XXXXXX)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" HOMEDRIVE="$work/drive" XDG_CONFIG_HOME="$work/config"
presets="$HOMEDRIVE/Brakwell/Korvane/presets"
mkdir -p "$HOME" "$presets/setlists" "$work/files/sub"
touch "$presets/Big Chorus.lop" "$presets/Slow Phase.lop" "$presets/presets.lst" "$presets/library.json"
touch "$presets/setlists/Friday.json" "$presets/setlists/Sunday Gig.json"
touch "$work/files/a.lop" "$work/files/b.fdt" "$work/files/c.tessivar.json" "$work/files/d.txt"
cd "$work/files" || exit 1

# The candidates bash offers for LINE (the word being completed is the last,
# empty after a trailing blank), sorted, one line each.
candidates() {
  bash --norc --noprofile -c '
    source "$1" || exit 9
    # Words as bash splits them: an escaped blank stays in its word.
    read -r -a COMP_WORDS <<<"${2//\\ /$'"'"'\001'"'"'}"
    COMP_WORDS=("${COMP_WORDS[@]//$'"'"'\001'"'"'/\\ }")
    [[ "$2" == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$2 COMP_POINT=${#2}
    _korvane korvane "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$script" "$1"
}

failures=0
# expect LINE MODE WORDS...: MODE "is" (exactly these), "has" (at least
# these), "lacks" (none of these).
expect() {
  local line="$1" mode="$2"; shift 2
  local got want ok=1
  got="$(candidates "$line")"
  case "$mode" in
    is) want="$(printf '%s\n' "$@" | sort)"; [[ "$got" == "$want" ]] || ok=0 ;;
    has) for w in "$@"; do grep -qxF -- "$w" <<<"$got" || ok=0; done ;;
    lacks) for w in "$@"; do grep -qxF -- "$w" <<<"$got" && ok=0; done ;;
  esac
  if ((ok)); then
    echo "ok   - '$line' $mode $*"
  else
    echo "FAIL - '$line' $mode $*; got: $(tr '\n' ' ' <<<"$got")"
    failures=$((failures + 1))
  fi
}

slots=($(seq 1 32))
# Commands, and the program's own options.
expect "korvane " has list arp backup restore read write globals firmware library factory-reset \
  copy swap move presets setlist help
expect "korvane pre" is presets
expect "korvane --" has --help --version --port --verbose
# Each command's own options, and only its own.
expect "korvane list --" has --json --port --verbose --help
expect "korvane list --" lacks --yes --force --no-backup
expect "korvane restore --" has --yes --no-backup --force
expect "korvane restore --" lacks --json
expect "korvane firmware --a" is --allow-downgrade
expect "korvane presets list --" has --search --tag --favourites --json
# Options before the command.
expect "korvane --port /dev/null list --j" is --json
expect "korvane --verbose cop" is copy
# Subcommands.
expect "korvane arp " has show
expect "korvane globals " has show save load
expect "korvane presets " has list tag untag note export import
expect "korvane setlist " has list show save write delete
# Slots.
expect "korvane copy " is "${slots[@]}"
expect "korvane copy 1" is 1 10 11 12 13 14 15 16 17 18 19
expect "korvane swap 3 " is "${slots[@]}"
expect "korvane arp show " is "${slots[@]}"
expect "korvane setlist write Friday 3" is 3 30 31 32
expect "korvane copy --yes 3 " is "${slots[@]}"
expect "korvane copy 3 4 " is
# Files, with the extension the usage names.
expect "korvane read 5 " is a.lop sub
expect "korvane write --yes 5 " is a.lop sub
expect "korvane firmware " is b.fdt sub
expect "korvane presets import " is c.tessivar.json sub
expect "korvane restore " has a.lop b.fdt d.txt sub
expect "korvane globals save " has d.txt
expect "korvane write 5 -- " is a.lop sub
# Library preset names and setlist names, quoted for the command line.
expect "korvane presets tag " is 'Big\ Chorus' 'Slow\ Phase'
expect "korvane presets tag Bi" is 'Big\ Chorus'
expect "korvane presets tag Big\\ C" is 'Big\ Chorus'
expect "korvane presets tag \"Slo" is 'Slow\ Phase'
expect "korvane presets export out.tessivar.json " is 'Big\ Chorus' 'Slow\ Phase'
expect "korvane presets export out.tessivar.json Big\\ Chorus " is 'Big\ Chorus' 'Slow\ Phase'
expect "korvane setlist show " is Friday 'Sunday\ Gig'
expect "korvane setlist save New " is 'Big\ Chorus' 'Slow\ Phase'
# Values of options that take one are not operands.
expect "korvane presets list --tag " is
expect "korvane presets list --tag live " is
expect "korvane nonsense " is

# zsh completes through bashcompinit with the same function: its completion
# file is loaded as zsh autoloads it, with zsh's own completion builtins
# replaced by ones that print what they are given (zsh filters by prefix).
if command -v zsh >/dev/null; then
  mkdir -p "$work/fpath"
  sed "s|^source .*|source '$script'|" "$build/completion/_korvane" >"$work/fpath/_korvane"
  zsh_candidates() {
    zsh -f -c '
      fpath=("$1" $fpath)
      compdef() { comp_fn=$1; }
      compadd() { [[ $1 == - ]] && shift && print -rl -- "$@"; }
      compset() { return 1; }
      _default() { :; }
      autoload -U _korvane
      for line in "${@:2}"; do
        words=(${(z)line}); [[ $line == *" " ]] && words+=("")
        CURRENT=$#words PREFIX=$words[-1]
        eval "${comp_fn:-_korvane}" | sort | tr "
" " "; print
      done' _ "$work/fpath" "$@"
  }
  zsh_expect() {
    local got
    got="$(zsh_candidates "$1")"
    if [[ "$got" == "$2" ]]; then echo "ok   - zsh: '$1' is $2"
    else echo "FAIL - zsh: '$1' is $2; got: $got"; failures=$((failures + 1)); fi
  }
  zsh_expect "korvane setlist " "delete list save show write "
  zsh_expect "korvane copy 1" "1 10 11 12 13 14 15 16 17 18 19 "
  zsh_expect "korvane firmware " "b.fdt sub "
  # Names reach zsh unquoted; it quotes them itself.
  zsh_expect "korvane setlist show " "Friday Sunday Gig "
fi

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"

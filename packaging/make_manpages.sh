#!/usr/bin/env bash
# Writes the manual pages korvane.1.gz and tessivar-sim.1.gz into OUTDIR from
# the programs' own --help and --version (help2man), with every command's
# `korvane COMMAND --help` as a section of korvane's page, so the pages say
# what the programs say.
# Usage: make_manpages.sh KORVANE TESSIVAR_SIM OUTDIR
set -euo pipefail
korvane="$1" sim="$2" out="$3"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# In the sanitizer build the programs report leaks at exit; the toolkit's
# libraries keep some for the life of the process (tests/lsan.supp).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

# roff-safe text: backslashes, and lines starting with a dot or a quote.
roff() { sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

{
  echo "[COMMANDS]"
  echo "Each command's own help (\\fBkorvane\\fR \\fICOMMAND\\fR \\fB--help\\fR):"
  "$korvane" --help | sed -n '/^Commands:/,/^$/p' | sed -E -n 's/^  ([a-z-]+) .*/\1/p' | while read -r c; do
    echo ".SS $c"
    echo ".nf"
    env -u DISPLAY "$korvane" "$c" --help | roff
    echo ".fi"
  done
  echo "[FILES]"
  echo ".TP"
  echo "\\fI<documents>/Brakwell/Korvane/presets/\\fR (the documents folder of \\fBxdg-user-dir DOCUMENTS\\fR, else \\fI~/Documents\\fR; \\fB\$KORVANE_DATA_DIR\\fR when set)"
  echo "Offline presets and backups; safety backups in its \\fIautobackup/\\fR."
  echo ".TP"
  echo "\\fI\$XDG_STATE_HOME/korvane/\\fR (\\fI~/.local/state/korvane/\\fR)"
  echo "The memory of the simulated pedal that \\fB--demo\\fR and \"Try with a simulated pedal\" start."
  echo ".TP"
  echo "\\fI/usr/share/korvane/\\fR"
  echo "Artwork and data files (algorithm library, factory presets, arp sequences)."
  echo "[SEE ALSO]"
  echo "\\fBtessivar-sim\\fR(1); /usr/share/doc/korvane/README.md"
} >"$work/korvane.h2m"

{
  echo "[SEE ALSO]"
  echo "\\fBkorvane\\fR(1)"
} >"$work/sim.h2m"

env -u DISPLAY help2man --no-info --section=1 --manual="User Commands" \
  --name="editor and librarian for the Brakwell Tessivar guitar pedal" \
  --include="$work/korvane.h2m" --output="$work/korvane.1" "$korvane"
help2man --no-info --section=1 --manual="User Commands" \
  --name="simulated Brakwell Tessivar pedal on a pseudo-terminal" \
  --include="$work/sim.h2m" --output="$work/tessivar-sim.1" "$sim"
for page in korvane tessivar-sim; do
  gzip -9n <"$work/$page.1" >"$out/$page.1.gz"
done

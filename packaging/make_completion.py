#!/usr/bin/python3
"""Writes bash's completion of korvane from the command line's grammar.

The grammar is what `korvane-grammar` prints from the parser's own
declarations (JSON); the script written here completes the commands, a
command's subcommands and options, and its operands by their names in the
usage line: slots (SLOT, FROM, TO, A, B, FIRST_SLOT) as 1-32, preset names
(NAME, PRESET, OLD) from the library's .lop files, setlist names (NAME of
`setlist`) from its setlists/ folder, and files (FILE, FILE.lop, ...) with
the extension the usage names.

Usage: make_completion.py GRAMMAR_JSON OUTPUT
"""

import json
import re
import sys

from make_manpages import alternatives

SLOT_WORDS = {"SLOT", "FROM", "TO", "A", "B", "FIRST_SLOT"}


def first_alternative(token):
    """"(NAME... | --all | --slots A-B)" -> "NAME..."; "[FILE]" -> "FILE"."""
    return token.strip("()[]").split("|")[0].strip()


def tokens(text):
    """The operand words of one alternative, groups taken by their first
    alternative: "FILE (NAME... | --all)" -> ["FILE", "NAME..."]."""
    out, depth, word = [], 0, ""
    for ch in text + " ":
        depth += ch in "(["
        depth -= ch in ")]"
        if ch == " " and depth == 0:
            if word:
                out.append(first_alternative(word))
            word = ""
        else:
            word += ch
    return [t for t in out if t]


def kind(command, word):
    """What an operand word is completed with."""
    base = word.rstrip(".")
    if base.endswith("/"):
        return "dir"
    if base.startswith("FILE"):
        return "file:" + base[len("FILE"):]
    if base in SLOT_WORDS:
        return "slot"
    if base == "NAME" and command == "setlist":
        return "setlist"
    if base in ("NAME", "PRESET", "OLD"):
        return "preset"
    return "-"


def pattern(command, words):
    """The kinds of a list of operand words; a last word ending in "..."
    repeats ("*" after it)."""
    kinds = [kind(command, w) for w in words]
    if words and words[-1].endswith("..."):
        kinds.append("*")
    return " ".join(kinds)


def quote(s):
    return "'" + s.replace("'", "'\\''") + "'"


def script(grammar):
    commands = grammar["commands"]
    names, opts, value_opts, subs, args = [], {}, {}, {}, {}
    for c in commands:
        name = c["name"]
        names.append(name)
        options = list(c["options"])
        for sub in c.get("subcommands", []):
            options += sub["options"]
        opts[name] = " ".join(dict.fromkeys(n for o in options for n in o["names"]))
        value_opts[name] = " ".join(dict.fromkeys(n for o in options if o["metavar"] for n in o["names"]))
        words = []
        for alt in alternatives(c["operands"]):
            parts = tokens(alt)
            if parts and re.fullmatch(r"[a-z][a-z-]*", parts[0]):
                words.append(parts[0])
                args[name + " " + parts[0]] = pattern(name, parts[1:])
            elif name not in args:
                args[name] = pattern(name, parts)
        for sub in c.get("subcommands", []):
            if sub["name"] not in words:
                words.append(sub["name"])
        if words:
            subs[name] = " ".join(words)
    # The options every command takes, which may also come before the command.
    shared = set.intersection(*(set(opts[n].split()) for n in names)) if names else set()
    shared_options = " ".join(n for n in opts[names[0]].split() if n in shared) if names else ""
    shared_values = " ".join(n for n in value_opts[names[0]].split() if n in shared) if names else ""
    program = " ".join(n for o in grammar["options"] for n in o["names"])

    def table(var, entries):
        body = "".join("  [%s]=%s\n" % (quote(k), quote(v)) for k, v in entries.items())
        return "declare -gA %s=(\n%s)\n" % (var, body)

    return (
        "# bash completion for korvane(1), written at build time from the command\n"
        "# line's grammar (packaging/make_completion.py): do not edit.\n"
        "_korvane_commands=%s\n" % quote(" ".join(names + ["help"]))
        + "_korvane_program_options=%s\n" % quote(program)
        + "_korvane_shared_options=%s\n" % quote(shared_options)
        + "_korvane_shared_value_options=%s\n" % quote(shared_values)
        + table("_korvane_options", opts)
        + table("_korvane_value_options", value_opts)
        + table("_korvane_subcommands", subs)
        + table("_korvane_operands", args)
        + BODY
    )


BODY = r'''
# The presets folder: $HOMEDRIVE/Brakwell/Korvane/presets, or under ~/Documents.
_korvane_presets_folder()
{
    if [[ -n ${HOMEDRIVE-} ]]; then
        printf '%s\n' "$HOMEDRIVE/Brakwell/Korvane/presets"
    else
        printf '%s\n' "$HOME/Documents/Brakwell/Korvane/presets"
    fi
}

# Adds the names of the files DIR/*SUFFIX that start with PREFIX, quoted
# for the command line.
_korvane_names()
{
    local dir=$1 suffix=$2 prefix=$3 f name
    prefix=${prefix//\\/}
    prefix=${prefix#[\"\']}
    for f in "$dir"/*"$suffix"; do
        [[ -f $f ]] || continue
        name=${f##*/}
        name=${name%"$suffix"}
        [[ $name == "$prefix"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
    done
}

# Adds the completions of one operand kind for the word CUR.
_korvane_complete_kind()
{
    local kind=$1 cur=$2 i
    case $kind in
        slot)
            for i in {1..32}; do [[ $i == "$cur"* ]] && COMPREPLY+=("$i"); done ;;
        preset)
            _korvane_names "$(_korvane_presets_folder)" .lop "$cur" ;;
        setlist)
            _korvane_names "$(_korvane_presets_folder)/setlists" .json "$cur" ;;
        dir)
            compopt -o filenames 2>/dev/null
            COMPREPLY+=($(compgen -d -- "$cur")) ;;
        file:*)
            compopt -o filenames 2>/dev/null
            local ext=${kind#file:}
            if [[ -n $ext ]]; then
                COMPREPLY+=($(compgen -f -X "!*$ext" -- "$cur") $(compgen -d -- "$cur"))
            else
                COMPREPLY+=($(compgen -f -- "$cur"))
            fi ;;
    esac
}

_korvane()
{
    # In zsh (through bashcompinit) the words count from 0 and split as here.
    [[ -n ${ZSH_VERSION-} ]] && setopt localoptions ksharrays shwordsplit
    local IFS=$'\n'
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local command="" i word after_dashes=0
    local -a operands=()
    COMPREPLY=()

    # The command is the first word that is no option (options may come
    # before it: `korvane --port /dev/ttyUSB0 list`).
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $command ]]; then
            if [[ $word == -* ]]; then
                [[ " ${_korvane_shared_value_options} " == *" $word "* ]] && ((i++))
                continue
            fi
            command=$word
            continue
        fi
        if ((after_dashes)) || [[ $word != -* || $word == - ]]; then
            operands+=("$word")
        elif [[ $word == -- ]]; then
            after_dashes=1
        elif [[ $word != *=* && " ${_korvane_value_options[$command]} " == *" $word "* ]]; then
            ((i++))
        fi
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "${_korvane_program_options//' '/$'\n'}"$'\n'"${_korvane_shared_options//' '/$'\n'}" -- "$cur"))
        elif [[ " ${_korvane_shared_value_options} " == *" $prev "* ]]; then
            [[ $prev == --port ]] && COMPREPLY=($(compgen -f -- "${cur:-/dev/tty}"))
        else
            COMPREPLY=($(compgen -W "${_korvane_commands//' '/$'\n'}" -- "$cur"))
        fi
        return 0
    fi
    [[ -n ${_korvane_options[$command]+set} ]] || return 0

    # The value of an option that takes one.
    if ((!after_dashes)) && [[ " ${_korvane_value_options[$command]} " == *" $prev "* ]]; then
        if [[ $prev == --port ]]; then
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "${cur:-/dev/tty}"))
        fi
        return 0
    fi
    if ((!after_dashes)) && [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "${_korvane_options[$command]//' '/$'\n'}" -- "$cur"))
        return 0
    fi

    # Operands: the subcommand first where the command has them, then the
    # kinds its usage names, the last repeating after "*".
    local key=$command
    if [[ -n ${_korvane_subcommands[$command]+set} ]]; then
        if ((${#operands[@]} == 0)); then
            COMPREPLY=($(compgen -W "${_korvane_subcommands[$command]//' '/$'\n'}" -- "$cur"))
            return 0
        fi
        key="$command ${operands[0]}"
        operands=("${operands[@]:1}")
    fi
    local -a kinds=()
    local rest="${_korvane_operands[$key]-} "
    while [[ -n ${rest// /} ]]; do
        kinds+=("${rest%% *}")
        rest=${rest#* }
    done
    local n=${#operands[@]} kind=""
    if ((n < ${#kinds[@]})) && [[ ${kinds[n]} != '*' ]]; then
        kind=${kinds[n]}
    elif ((${#kinds[@]} >= 2)) && [[ ${kinds[-1]} == '*' ]]; then
        kind=${kinds[-2]}
    fi
    [[ -n $kind && $kind != - ]] && _korvane_complete_kind "$kind" "$cur"
    return 0
}
complete -F _korvane korvane
'''


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        grammar = json.load(f)
    with open(argv[2], "w", encoding="utf-8") as f:
        f.write(script(grammar))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

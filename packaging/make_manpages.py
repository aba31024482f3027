#!/usr/bin/python3
"""Writes the manual pages korvane.1.gz and tessivar-sim.1.gz into OUTDIR.

korvane(1) takes its COMMANDS and OPTIONS from the command line's grammar,
as `korvane-grammar` prints it from the parser's own declarations, so that
every command and option the program takes is in the page with the words
its --help uses. tessivar-sim(1) takes its OPTIONS from `tessivar-sim
--help`. The other sections are written here.

Usage: make_manpages.py GRAMMAR_JSON TESSIVAR_SIM OUTDIR
"""

import gzip
import json
import os
import re
import subprocess
import sys

DATE = "December 2026"


def esc(text):
    """Text for roff: backslashes, and a line's leading dot or quote."""
    text = text.replace("\\", "\\e")
    return re.sub(r"^([.'])", r"\\&\1", text, flags=re.M)


def opt(name):
    """An option or other literal word, bold, its hyphens as minus signs."""
    return "\\fB" + esc(name).replace("-", "\\-") + "\\fR"


def sentence(text):
    """"read all presets" -> "Read all presets."."""
    text = text.strip()
    return text[:1].upper() + text[1:] + ("" if text.endswith(".") else ".")


def option_item(o):
    """One option as a tagged paragraph: names, metavar, description."""
    head = ", ".join(opt(n) for n in o["names"])
    if o["metavar"]:
        head += " \\fI" + esc(o["metavar"]) + "\\fR"
    description = o["description"].strip() or "(no description)"
    return [".TP", head, esc(description)]


def alternatives(operands):
    """The top-level alternatives of an operands line, split at '|' outside
    parentheses: "show | save FILE" -> ["show", "save FILE"]."""
    out, depth, part = [], 0, ""
    for ch in operands:
        depth += ch == "("
        depth -= ch == ")"
        if ch == "|" and depth == 0:
            out.append(part.strip())
            part = ""
        else:
            part += ch
    if part.strip():
        out.append(part.strip())
    return out


def subcommand_words(command):
    """A command's own subcommands: those the parser declares and the first
    words of the operand alternatives ("show", "save", ...)."""
    words = [s["name"] for s in command.get("subcommands", [])]
    for alt in alternatives(command["operands"]):
        first = alt.split()[0] if alt.split() else ""
        if re.fullmatch(r"[a-z][a-z-]*", first) and first not in words:
            words.append(first)
    return words


def help_paragraphs(command):
    """A command's help text as filled paragraphs: a line that starts with
    one of its subcommands ("save FILE: ...") starts a new one."""
    subs = subcommand_words(command)
    paragraphs, current = [], []
    for line in command["help"].splitlines():
        starts = any(re.match(r"(%s )?%s( [^:]{0,60})?:" % (re.escape(command["name"]), re.escape(w)), line)
                     for w in subs)
        if (starts or not line.strip()) and current:
            paragraphs.append(" ".join(current))
            current = []
        if line.strip():
            current.append(line.strip())
    if current:
        paragraphs.append(" ".join(current))
    return paragraphs


def korvane_page(grammar):
    commands = grammar["commands"]
    # The options every command takes are told once, under OPTIONS.
    common = None
    for c in commands:
        names = {tuple(o["names"]) for o in c["options"]}
        common = names if common is None else common & names
    common = common or set()
    shared = [o for o in commands[0]["options"] if tuple(o["names"]) in common] if commands else []

    lines = [
        '.TH KORVANE 1 "%s" "%s" "User Commands"' % (DATE, esc(grammar["version"])),
        ".nh",
        ".ad l",
        ".SH NAME",
        "korvane \\- editor and librarian for the Brakwell Tessivar guitar pedal",
        ".SH SYNOPSIS",
        ".B korvane",
        ".br",
        ".B korvane",
        ".I COMMAND",
        "[\\fIOPTIONS\\fR] [\\fIARGUMENTS\\fR]",
        ".br",
        ".B korvane",
        ".BR \\-\\-version \" | \" \\-\\-help",
        ".SH DESCRIPTION",
        "Korvane is the editor and librarian of the Brakwell Tessivar, a guitar",
        "modulation pedal with two effect engines, which it reaches over the",
        "pedal's USB cable (an FTDI USB-serial bridge).",
        ".PP",
        "Without a",
        ".I COMMAND",
        "it opens the editor window: the pedal's 32 presets, edited with every",
        "change heard live, stored with verified writes; the library of presets",
        "kept as files; backup and restore; the global, MIDI, expression and arp",
        "settings; firmware and algorithm library updates.",
        ".PP",
        "With a",
        ".I COMMAND",
        "it runs one pedal operation without a window and without a display.",
        "Results go to standard output; status lines, errors and, on a terminal,",
        "progress counts to standard error. Commands that overwrite the pedal ask",
        "first on a terminal; without a terminal they refuse unless",
        opt("--yes"),
        "is given. Before the pedal's presets are overwritten, they are saved in",
        "the safety backups folder (see",
        ".BR FILES );",
        opt("--no-backup"),
        "goes on without.",
        ".SH COMMANDS",
    ]
    for c in commands:
        lines += [".SS %s" % esc(c["name"]),
                  "\\fBkorvane %s\\fR [\\fIOPTIONS\\fR]%s" % (esc(c["name"]), " \\fI%s\\fR" % esc(c["operands"])
                                                               if c["operands"] else ""),
                  ".PP", esc(sentence(c["summary"]))]
        for p in help_paragraphs(c):
            lines += [".PP", esc(p)]
        own = [o for o in c["options"] if tuple(o["names"]) not in common]
        if own:
            lines += [".PP", "Options of \\fB%s\\fR:" % esc(c["name"]), ".RS 4"]
            for o in own:
                lines += option_item(o)
            lines.append(".RE")
        for sub in c.get("subcommands", []):
            lines += [".PP", "\\fB%s %s\\fR: %s" % (esc(c["name"]), esc(sub["name"]), esc(sentence(sub["summary"])))]
            if sub["options"]:
                lines.append(".RS 4")
                for o in sub["options"]:
                    lines += option_item(o)
                lines.append(".RE")
    lines += [".SH OPTIONS", "Every command takes these:"]
    for o in shared:
        lines += option_item(o)
    lines.append(".PP")
    lines.append("Without a command:")
    for o in grammar["options"]:
        lines += option_item(o)
    lines += [
        ".PP",
        opt("--"),
        "ends the options: what follows is an argument even when it starts with",
        "a hyphen. A",
        ".I FILE",
        "to write may be",
        opt("-"),
        "for standard output.",
        ".SH \"EXIT STATUS\"",
        ".TP", "\\fB0\\fR", "Done.",
        ".TP", "\\fB1\\fR",
        "The pedal operation failed: no pedal found, no answer, a write that did",
        "not verify.",
        ".TP", "\\fB2\\fR",
        "A usage error or a bad file (a missing one too); nothing was sent.",
        "Also a question with no terminal to ask it on and no",
        opt("--yes") + ".",
        ".TP", "\\fB3\\fR", "The question was answered no; nothing was done.",
        ".SH ENVIRONMENT",
        ".TP", ".B KORVANE_DEVICES",
        "A file listing serial ports to try before the USB ports, one",
        "\\fIport\\fR<TAB>\\fIdescription\\fR<TAB>\\fIserial\\fR[<TAB>\\fIpid\\fR]",
        "a line; the simulated pedal",
        ".BR tessivar\\-sim (1)",
        "adds its own line with",
        opt("--devices") + ".",
        ".TP", ".B KORVANE_ZOOM",
        "The window's zoom, a factor (1.5) or a percentage (150%); before the",
        "zoom chosen last time and the desktop's scale.",
        ".TP", ".B GDK_SCALE",
        "The desktop's scale, taken for the window's zoom when neither",
        ".B KORVANE_ZOOM",
        "nor a remembered choice gives one (with the X resource Xft.dpi / 96,",
        "whichever is larger).",
        ".TP", ".B KORVANE_DATA_DIR",
        "The presets folder, instead of the one under the documents folder.",
        ".TP", ".B XDG_CONFIG_HOME",
        "The folder of the settings file (default \\fI~/.config\\fR).",
        ".TP", ".B XDG_STATE_HOME",
        "Where the simulated pedal keeps its memory when started by",
        ".B \\-\\-demo",
        "or \"Try with a simulated pedal\" (\\fI$XDG_STATE_HOME/korvane/\\fR;",
        "default \\fI~/.local/state\\fR).",
        ".TP", ".B DISPLAY",
        "The X display of the window; not needed by the commands.",
        ".SH FILES",
        ".TP", ".I <documents>/Brakwell/Korvane/presets/",
        "The presets folder, in the documents folder that",
        "\\fBxdg\\-user\\-dir DOCUMENTS\\fR names (else \\fI~/Documents\\fR;",
        "\\fB$KORVANE_DATA_DIR\\fR when set): the",
        "library's \\fI.lop\\fR files and \\fIpresets.lst\\fR, \\fIlibrary.json\\fR",
        "(tags, notes, favourites), \\fIsetlists/\\fR and backups.",
        ".TP", ".I <documents>/Brakwell/Korvane/presets/autobackup/",
        "The safety backups taken before the pedal's presets are overwritten:",
        "\\fITessivar_AutoBackup_*.bkp\\fR (the presets) and \\fI.globals\\fR (the",
        "global settings); the ten newest are kept.",
        ".TP", ".I ~/.config/korvane/settings",
        "The settings file (under \\fI$XDG_CONFIG_HOME\\fR when it is set): the",
        "window's zoom.",
        ".TP", ".I /usr/lib/udev/rules.d/60\\-korvane.rules",
        "The udev rule that lets the user at the seat open the pedal without",
        "root, names it \\fI/dev/tessivar\\fR and sets its latency timer.",
        ".TP", ".I /usr/share/korvane/",
        "The artwork and the data files (algorithm library, factory presets,",
        "arp sequences).",
        ".SH EXAMPLES",
        "Save the pedal's presets into a backup file, then put them back:",
        ".PP",
        ".RS 4",
        ".nf",
        "korvane backup presets.bkp",
        "korvane restore \\-\\-yes presets.bkp",
        ".fi",
        ".RE",
        ".PP",
        "The titles of the pedal's slots, in a script:",
        ".PP",
        ".RS 4",
        ".nf",
        "korvane list \\-\\-json | jq \\-r '.slots[].title'",
        ".fi",
        ".RE",
        ".PP",
        "Store slot 5 in a file and write it into slot 12 without being asked:",
        ".PP",
        ".RS 4",
        ".nf",
        "korvane read 5 Warm.lop",
        "korvane write \\-\\-yes 12 Warm.lop",
        ".fi",
        ".RE",
        ".SH \"SEE ALSO\"",
        ".BR tessivar\\-sim (1),",
        ".BR udev (7),",
        ".I /usr/share/doc/korvane/README.md",
        "and",
        ".I /usr/share/doc/korvane/formats.md",
    ]
    return "\n".join(lines) + "\n"


def sim_options(help_text):
    """The options of `tessivar-sim --help`: "  --name ARG   text" with its
    continuation lines, grouped under the headings ("Faults:")."""
    items, current = [], None
    for line in help_text.splitlines():
        m = re.match(r"^  (-[-\w]+(?:, -[-\w]+)?)((?: [A-Z.][A-Z.]*)?)\s{2,}(.*)$", line)
        if m:
            current = {"names": [n.strip() for n in m.group(1).split(",")],
                       "metavar": m.group(2).strip(), "description": m.group(3).strip()}
            items.append(current)
        elif current and re.match(r"^\s{6,}\S", line):
            current["description"] += " " + line.strip()
        elif re.match(r"^\S.*:$", line):
            items.append(line.strip())
            current = None
    return items


def sim_page(help_text, version):
    lines = [
        '.TH TESSIVAR\\-SIM 1 "%s" "%s" "User Commands"' % (DATE, esc(version)),
        ".nh",
        ".ad l",
        ".SH NAME",
        "tessivar\\-sim \\- simulated Brakwell Tessivar pedal on a pseudo-terminal",
        ".SH SYNOPSIS",
        ".B tessivar\\-sim",
        "[\\fIOPTIONS\\fR]",
        ".SH DESCRIPTION",
        ".B tessivar\\-sim",
        "serves a simulated Tessivar on a pseudo-terminal, answering every request",
        "of the pedal's command set as the pedal does, and prints",
        "\"tessivar\\-sim: serving on \\fItty\\fR\" once it answers. With",
        opt("--devices"),
        "it lists itself in the devices file that",
        ".BR korvane (1)",
        "reads through",
        ".BR KORVANE_DEVICES ,",
        "so the editor and its commands find it as they find the pedal. It powers",
        "up with the factory presets and stops on SIGTERM or SIGINT. Faults",
        "(no answer, short answers, corrupted echoes, late answers, a pedal that",
        "drops off the bus) are for trying the program's error paths.",
        ".SH OPTIONS",
    ]
    for item in sim_options(help_text):
        if isinstance(item, str):
            lines += [".PP", esc(item)]
        else:
            lines += option_item(item)
    lines += [
        ".SH \"EXIT STATUS\"",
        "0 after SIGTERM or SIGINT (and after \\fB\\-\\-help\\fR), 1 when the log",
        "file or a pseudo-terminal could not be opened, 2 for an option it does",
        "not take.",
        ".SH ENVIRONMENT",
        ".TP", ".B XDG_STATE_HOME",
        "The run script of the sources keeps the simulated pedal's memory in",
        "\\fI$XDG_STATE_HOME/korvane/sim\\-pedal.bin\\fR (\\fI~/.local/state\\fR",
        "without it) with",
        opt("--state") + ".",
        ".SH FILES",
        ".TP", ".I /usr/share/korvane/bin/",
        "The factory data: \\fIfactoryset.fap\\fR, \\fIerror_log.fvc\\fR,",
        "\\fIarpdata.bin\\fR and \\fIdispdata.bin\\fR.",
        ".SH EXAMPLES",
        "The editor against the simulated pedal:",
        ".PP",
        ".RS 4",
        ".nf",
        "tessivar\\-sim \\-\\-devices /tmp/kv\\-devices &",
        "KORVANE_DEVICES=/tmp/kv\\-devices korvane list",
        ".fi",
        ".RE",
        ".SH \"SEE ALSO\"",
        ".BR korvane (1)",
    ]
    return "\n".join(lines) + "\n"


def write_gz(path, text):
    with open(path, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as f:
            f.write(text.encode("utf-8"))


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        grammar = json.load(f)
    sim = argv[2]
    sim_help = subprocess.run([sim, "--help"], capture_output=True, text=True, check=True).stdout
    sim_version = subprocess.run([sim, "--version"], capture_output=True, text=True, check=True).stdout.strip()
    os.makedirs(argv[3], exist_ok=True)
    write_gz(os.path.join(argv[3], "korvane.1.gz"), korvane_page(grammar))
    write_gz(os.path.join(argv[3], "tessivar-sim.1.gz"), sim_page(sim_help, sim_version))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Checks the include rules between the source folders.

The toolkit-free folders never include an FLTK or X header nor anything of
the window's folders, and a lower layer never includes a higher one:

    platform  <-  model (preset, arp, settings, library/core)  <-  link  <-  ops  <-  cli
                                                               <-  sim (beside link; may use its wire headers)

The window's folders (widgets, editor, library, config, maintenance, app and
every ui/ subfolder) may include anything. Prints one line per violation
("ops/Foo.cpp:3: includes <FL/Fl.H>: ops is toolkit-free") and exits 1 when
there is any, 0 otherwise.

Usage: check-layers.py [SOURCE_ROOT]   (default: the folder above this script)
"""

import pathlib
import re
import sys

MODEL = {"platform", "preset", "arp", "settings", "library/core"}
# What each toolkit-free folder may include, by the folder of the included file.
ALLOWED = {
    "platform": {"platform"},
    "preset": MODEL,
    "arp": MODEL,
    "settings": MODEL,
    "library/core": MODEL,
    "link": MODEL | {"link"},
    "sim": MODEL | {"link", "sim"},
    "ops": MODEL | {"link", "ops"},
    "cli": MODEL | {"link", "ops", "cli"},
    "tools": MODEL | {"tools"},
}
TOOLKIT_HEADERS = re.compile(r"^(FL|X11|GL)/")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCES = {".cpp", ".h", ".hpp", ".cc"}


def folder_of(relative):
    """The layer folder of a path relative to the root, or None (outside every layer)."""
    parts = pathlib.PurePosixPath(relative).parts
    if "ui" in parts[:-1]:
        return None  # a window part of a toolkit-free folder
    if len(parts) >= 3 and parts[0] == "library" and parts[1] == "core":
        return "library/core"
    if len(parts) >= 2:
        return parts[0]
    return None


def check(root):
    problems = []
    for layer in sorted(ALLOWED):
        base = root / layer
        if not base.is_dir():
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix not in SOURCES or not path.is_file():
                continue
            relative = path.relative_to(root).as_posix()
            if folder_of(relative) != layer:
                continue
            try:
                lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
            except OSError as e:
                problems.append(f"{relative}: cannot be read: {e.strerror}")
                continue
            for number, line in enumerate(lines, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                kind, name = m.groups()
                if TOOLKIT_HEADERS.match(name):
                    problems.append(f"{relative}:{number}: includes <{name}>: {layer} is toolkit-free")
                    continue
                if kind != '"':
                    continue
                target = folder_of(name)
                if target is None and "/" in name and "/ui/" in name:
                    problems.append(f'{relative}:{number}: includes "{name}": {layer} is toolkit-free')
                    continue
                if target is None:
                    continue  # a file beside it or a system header in quotes
                if target not in ALLOWED[layer]:
                    why = ("a window folder" if target not in ALLOWED else "a higher layer")
                    problems.append(f'{relative}:{number}: includes "{name}": {target} is {why} for {layer}')
    return problems


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    if not root.is_dir():
        print(f"check-layers: no source folder at {root}", file=sys.stderr)
        return 2
    problems = check(root)
    for p in problems:
        print(p)
    if problems:
        print(f"check-layers: {len(problems)} include(s) break the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

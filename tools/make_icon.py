#!/usr/bin/python3
"""Draws Korvane's application icon into packaging/icons/.

The icon is the wave emblem of the program's logo (img/appLogo) on a dark
rounded tile, drawn at each size the desktop asks for rather than scaled,
so that the ring and the wave stay crisp at 48 pixels.  Run with the system
Python and Debian's Pillow (python3-pil):

    /usr/bin/python3 tools/make_icon.py [output-folder]

The output is deterministic; the pictures are committed and installed as
share/icons/hicolor/<size>x<size>/apps/korvane.png.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_artwork as art  # noqa: E402

SIZES = (48, 128, 256)


def icon(size):
    img = art.blank(size, size)
    m = size * 0.06

    def tile(L):
        L.rrect(m, m, size - m, size - m, size * 0.2, fill=art.rgba(art.DARK),
                outline=art.rgba(art.DARKEST), width=max(1.0, size / 96))
    img = art.shapes(img, tile)
    c = size / 2
    img = art.shapes(img, lambda L: art.draw_wave_mark(L, c, c, size * 0.34, art.AMBER, art.TEAL,
                                                       max(1.6, size * 0.055)))
    return img


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, os.pardir, "packaging", "icons")
    os.makedirs(out_dir, exist_ok=True)
    for size in SIZES:
        path = os.path.join(out_dir, "korvane-%d.png" % size)
        icon(size).save(path, "PNG", optimize=True)
        print("%-20s %4d x %d" % (os.path.basename(path), size, size))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

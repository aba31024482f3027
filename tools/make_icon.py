#!/usr/bin/python3
"""Draws Korvane's application icon into packaging/icons/.

The icon is the wave emblem of the program's logo (img/appLogo) on a dark
rounded tile, drawn at each size the desktop asks for rather than scaled,
so that the ring and the wave stay crisp at 48 pixels.  Run with the system
Python and Debian's Pillow (python3-pil):

    /usr/bin/python3 tools/make_icon.py [output-folder]

The same drawing is also written as korvane.svg for the scalable size: an
SVG surface takes the drawing calls the pixel layers take.  The output is
deterministic; the pictures are committed and installed as
share/icons/hicolor/<size>x<size>/apps/korvane.png and
share/icons/hicolor/scalable/apps/korvane.svg.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_artwork as art  # noqa: E402

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def draw_tile(L, size):
    m = size * 0.06
    L.rrect(m, m, size - m, size - m, size * 0.2, fill=art.rgba(art.DARK),
            outline=art.rgba(art.DARKEST), width=max(1.0, size / 96))


def draw_mark(L, size):
    c = size / 2
    art.draw_wave_mark(L, c, c, size * 0.34, art.AMBER, art.TEAL, max(1.6, size * 0.055))


def icon(size):
    img = art.blank(size, size)
    img = art.shapes(img, lambda L: draw_tile(L, size))
    return art.shapes(img, lambda L: draw_mark(L, size))


class SvgLayer:
    """The drawing calls of make_artwork.Layer that the icon uses, as SVG."""

    def __init__(self, size):
        self.size = size
        self.parts = []

    @staticmethod
    def _paint(fill=None, outline=None, width=1):
        def colour(c):
            return "#%02x%02x%02x" % c[:3] if c else "none"
        out = 'fill="%s"' % colour(fill)
        if outline:
            out += ' stroke="%s" stroke-width="%.2f"' % (colour(outline), width)
        return out

    # The pixel layers draw an outline inside the shape's box; SVG centres it
    # on the edge, so the edge moves in by half the width.
    def rrect(self, x0, y0, x1, y1, r, fill=None, outline=None, width=1):
        h = width / 2 if outline else 0
        x0, y0, x1, y1, r = x0 + h, y0 + h, x1 - h, y1 - h, max(0, r - h)
        self.parts.append('<rect x="%.2f" y="%.2f" width="%.2f" height="%.2f" rx="%.2f" %s/>'
                          % (x0, y0, x1 - x0, y1 - y0, r, self._paint(fill, outline, width)))

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1):
        h = width / 2 if outline else 0
        x0, y0, x1, y1 = x0 + h, y0 + h, x1 - h, y1 - h
        self.parts.append('<ellipse cx="%.2f" cy="%.2f" rx="%.2f" ry="%.2f" %s/>'
                          % ((x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2,
                             self._paint(fill, outline, width)))

    def line(self, pts, fill, width=1.0):
        points = " ".join("%.2f,%.2f" % p for p in pts)
        self.parts.append('<polyline points="%s" fill="none" stroke="#%02x%02x%02x" stroke-width="%.2f" '
                          'stroke-linecap="round" stroke-linejoin="round"/>' % ((points,) + fill[:3] + (width,)))

    def text(self):
        return ('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
                % ((self.size,) * 4) + "".join("  %s\n" % p for p in self.parts) + "</svg>\n")


def scalable_icon():
    """The icon as SVG, drawn on the 256-pixel grid."""
    L = SvgLayer(256)
    draw_tile(L, 256)
    draw_mark(L, 256)
    return L.text()


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, os.pardir, "packaging", "icons")
    os.makedirs(out_dir, exist_ok=True)
    for size in SIZES:
        path = os.path.join(out_dir, "korvane-%d.png" % size)
        icon(size).save(path, "PNG", optimize=True)
        print("%-20s %4d x %d" % (os.path.basename(path), size, size))
    path = os.path.join(out_dir, "korvane.svg")
    with open(path, "w", encoding="utf-8") as f:
        f.write(scalable_icon())
    print("%-20s scalable" % os.path.basename(path))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

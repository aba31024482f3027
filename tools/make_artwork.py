#!/usr/bin/python3
"""Draws the bundled artwork of Korvane into img/.

Run with the system Python and Debian's Pillow (python3-pil):

    /usr/bin/python3 tools/make_artwork.py [output-folder]

The output is deterministic: no clocks, no unseeded randomness, and the
PNG files carry no time stamps.  The pictures are committed; the build
does not run this script.

Shapes are drawn on a canvas four times larger than the picture and then
averaged down, which gives clean anti-aliased edges.  Text is rendered
at the final size so that FreeType's hinting keeps small labels crisp.
"""

import math
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SS = 4  # supersampling factor for shapes

# Program palette
DARK = (44, 44, 44)
DARKER = (30, 30, 30)
DARKEST = (20, 20, 20)
AMBER = (255, 204, 0)
TEAL = (142, 211, 211)
TEAL_DEEP = (38, 140, 140)
WHITE = (255, 255, 255)
TEXT = (232, 232, 232)
TEXT_DIM = (176, 176, 176)
TEXT_FAINT = (128, 128, 128)


# ---------------------------------------------------------------- helpers

_font_cache = {}


def font(name, size):
    key = (name, size)
    if key not in _font_cache:
        files = {
            "sans": "DejaVuSans.ttf",
            "bold": "DejaVuSans-Bold.ttf",
            "cond": "DejaVuSansCondensed.ttf",
            "condbold": "DejaVuSansCondensed-Bold.ttf",
            "oblique": "DejaVuSans-Oblique.ttf",
            "mono": "DejaVuSansMono-Bold.ttf",
        }
        _font_cache[key] = ImageFont.truetype(os.path.join(FONT_DIR, files[name]), size)
    return _font_cache[key]


def rgba(c, a=255):
    return (c[0], c[1], c[2], a)


class Layer:
    """A supersampled RGBA drawing surface addressed in final pixels."""

    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.im = Image.new("RGBA", (w * SS, h * SS), fill)
        self.d = ImageDraw.Draw(self.im)

    @staticmethod
    def _s(v):
        return int(round(v * SS))

    def box(self, x0, y0, x1, y1):
        return [self._s(x0), self._s(y0), self._s(x1) - 1, self._s(y1) - 1]

    def rrect(self, x0, y0, x1, y1, r, fill=None, outline=None, width=1):
        self.d.rounded_rectangle(self.box(x0, y0, x1, y1), radius=self._s(r), fill=fill,
                                 outline=outline, width=self._s(width) if outline else 0)

    def rect(self, x0, y0, x1, y1, fill):
        self.d.rectangle(self.box(x0, y0, x1, y1), fill=fill)

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1):
        self.d.ellipse(self.box(x0, y0, x1, y1), fill=fill, outline=outline,
                       width=self._s(width) if outline else 0)

    def polygon(self, pts, fill):
        self.d.polygon([(self._s(x), self._s(y)) for x, y in pts], fill=fill)

    def line(self, pts, fill, width=1.0):
        self.d.line([(self._s(x), self._s(y)) for x, y in pts], fill=fill,
                    width=max(1, self._s(width)), joint="curve")
        r = width * SS / 2.0
        for x, y in (pts[0], pts[-1]):  # round caps
            cx, cy = x * SS, y * SS
            self.d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=fill)

    def arc(self, x0, y0, x1, y1, start, end, fill, width=1):
        self.d.arc(self.box(x0, y0, x1, y1), start, end, fill=fill, width=self._s(width))

    def result(self):
        return self.im.resize((self.w, self.h), Image.BOX)


def over(base, top):
    """Composites top over base (both RGBA, same size)."""
    return Image.alpha_composite(base, top)


def shapes(base, draw_fn):
    """Runs draw_fn on a supersampled layer and composites it over base."""
    layer = Layer(base.width, base.height)
    draw_fn(layer)
    return over(base, layer.result())


def text(base, xy, s, fnt, fill, anchor="la", tracking=0.0, alpha=255):
    """Draws text with correct alpha blending; tracking adds space between letters."""
    mask = Image.new("L", base.size, 0)
    md = ImageDraw.Draw(mask)
    if tracking == 0:
        md.text(xy, s, font=fnt, fill=255, anchor=anchor)
    else:
        total = text_width(s, fnt, tracking)
        x, y = xy
        if anchor[0] == "m":
            x -= total / 2.0
        elif anchor[0] == "r":
            x -= total
        for ch in s:
            md.text((x, y), ch, font=fnt, fill=255, anchor="l" + anchor[1])
            x += fnt.getlength(ch) + tracking
    if alpha != 255:
        mask = mask.point(lambda v: v * alpha // 255)
    solid = Image.new("RGBA", base.size, rgba(fill))
    solid.putalpha(mask)
    return over(base, solid)


def text_width(s, fnt, tracking=0.0):
    if tracking == 0:
        return fnt.getlength(s)
    return sum(fnt.getlength(ch) for ch in s) + tracking * (len(s) - 1)


def shadow(base, draw_fn, blur, offset=(0, 0), color=(0, 0, 0), opacity=160):
    """Soft shadow of the shapes that draw_fn draws (their alpha is used)."""
    layer = Layer(base.width, base.height)
    draw_fn(layer)
    a = layer.result().getchannel("A").filter(ImageFilter.GaussianBlur(blur))
    a = a.point(lambda v: v * opacity // 255)
    sh = Image.new("RGBA", base.size, rgba(color))
    sh.putalpha(a)
    moved = Image.new("RGBA", base.size, (0, 0, 0, 0))
    moved.paste(sh, offset)
    return over(base, moved)


def vgradient(w, h, top, bottom):
    """Opaque vertical gradient from top to bottom colour."""
    mask = Image.linear_gradient("L").resize((w, h), Image.BICUBIC)
    a = Image.new("RGBA", (w, h), rgba(top))
    b = Image.new("RGBA", (w, h), rgba(bottom))
    return Image.composite(b, a, mask)


def gradient_shapes(base, draw_fn, top, bottom):
    """Fills the shapes that draw_fn draws with a vertical gradient and composites them over base."""
    fill = vgradient(base.width, base.height, top, bottom)
    layer = Layer(base.width, base.height)
    draw_fn(layer)
    fill.putalpha(layer.result().getchannel("A"))
    return over(base, fill)


def wrap(s, fnt, width):
    """Greedy word wrap of one paragraph to a pixel width."""
    words = s.split(" ")
    lines, cur = [], ""
    for w in words:
        trial = (cur + " " + w).strip()
        if fnt.getlength(trial) <= width or not cur:
            cur = trial
        else:
            lines.append(cur)
            cur = w
    if cur:
        lines.append(cur)
    return lines


def paragraph(base, x, y, s, fnt, fill, width, leading):
    """Draws a wrapped paragraph; returns the y below its last line."""
    for ln in wrap(s, fnt, width):
        base = text(base, (x, y), ln, fnt, fill)
        y += leading
    return base, y


def blank(w, h):
    return Image.new("RGBA", (w, h), (0, 0, 0, 0))


# ----------------------------------------------------------- small marks

def draw_wave_mark(L, cx, cy, r, ring, wave, width):
    """Round emblem: a ring with a modulated sine wave inside."""
    L.ellipse(cx - r, cy - r, cx + r, cy + r, fill=rgba(DARKER), outline=rgba(ring), width=width)
    pts = []
    n = 60
    for i in range(n + 1):
        t = i / n
        x = cx - r * 0.62 + t * r * 1.24
        env = math.sin(math.pi * t)
        y = cy - math.sin(t * math.pi * 4) * r * 0.42 * env
        pts.append((x, y))
    L.line(pts, fill=rgba(wave), width=width * 0.9)


def draw_check(L, cx, cy, s, color, width):
    L.line([(cx - s * 0.5, cy + s * 0.02), (cx - s * 0.12, cy + s * 0.4), (cx + s * 0.55, cy - s * 0.42)],
           fill=color, width=width)


# ------------------------------------------------------------------ logos

def app_logo():
    """Korvane wordmark with its wave emblem; sits in the dark header."""
    w, h = 149, 37
    img = blank(w, h)
    img = shapes(img, lambda L: draw_wave_mark(L, 17.5, 18.5, 16, AMBER, TEAL, 2.2))
    f = font("condbold", 21)
    x = 40
    img = text(img, (x, 21), "KORVANE", f, TEXT, anchor="ls", tracking=0.9)
    sub = font("cond", 9)
    img = text(img, (x + 1, 33), "TESSIVAR  EDITOR", sub, TEAL, anchor="ls", tracking=1.6)
    return img


def maker_logo():
    """Brakwell maker mark; the window cuts the picture 118 pixels from its left edge."""
    w, h = 130, 50
    img = blank(w, h)

    def mark(L):
        L.rrect(1, 3, 24, 26, 5.5, fill=rgba(AMBER))
    img = shapes(img, mark)
    img = text(img, (12.5, 15), "B", font("bold", 18), DARK, anchor="mm")
    f = font("condbold", 15)
    img = text(img, (28, 17), "BRAKWELL", f, TEXT, anchor="ls", tracking=0.1)
    right = 28 + text_width("BRAKWELL", f, 0.1)
    img = shapes(img, lambda L: L.rect(28, 21, right, 22, rgba(AMBER, 210)))
    img = text(img, (28, 31), "SOUND MACHINES", font("cond", 8), TEXT_DIM, anchor="ls", tracking=0.8)
    return img


# --------------------------------------------------------------- backdrop

def brushed(w, h, seed, amount):
    """Deterministic horizontal brushed-metal grain, as an L image around 128."""
    rnd = random.Random(seed)
    cw = max(1, w // 10)
    small = Image.new("L", (cw, h))
    small.putdata([128 + int(round(rnd.gauss(0, amount))) for _ in range(cw * h)])
    return small.resize((w, h), Image.BICUBIC)


def backdrop():
    """Calm light-grey faceplate behind the Dashboard.

    The Dashboard paints its captions and labels in black and dark grey
    straight onto this picture, so it stays light and low in contrast.
    """
    w, h = 700, 592
    img = vgradient(w, h, (190, 192, 195), (171, 173, 177))
    grain = brushed(w, h, 1707, 1.6)
    # the grain lightens and darkens around its mid value of 128
    img = ImageChops.add(img.convert("RGB"), Image.merge("RGB", (grain,) * 3), 1.0, -128).convert("RGBA")

    # the store and save strip along the bottom, a shade deeper
    strip_top = 439
    img = shapes(img, lambda L: (
        L.rect(0, strip_top, w, h, (60, 64, 70, 26)),
        L.rect(0, strip_top, w, strip_top + 1, (255, 255, 255, 120)),
        L.rect(0, strip_top - 1, w, strip_top, (90, 94, 100, 70)),
    ))
    # soft shade under the tab bar and along the left edge next to the preset list
    shade = blank(w, h)
    sd = ImageDraw.Draw(shade)
    for i in range(10):
        sd.line([(0, i), (w, i)], fill=(40, 42, 46, int(60 * (1 - i / 10.0) ** 2)))
        sd.line([(i, 0), (i, h)], fill=(40, 42, 46, int(70 * (1 - i / 10.0) ** 2)))
    img = over(img, shade)
    # gentle vignette toward the right and bottom edges
    vig = blank(w, h)
    vd = ImageDraw.Draw(vig)
    for i in range(24):
        a = int(22 * (1 - i / 24.0) ** 2)
        vd.line([(w - 1 - i, 0), (w - 1 - i, h)], fill=(30, 32, 36, a))
        vd.line([(0, h - 1 - i), (w, h - 1 - i)], fill=(30, 32, 36, a))
    img = over(img, vig)
    return img.convert("RGB").convert("RGBA")


# ------------------------------------------------------- category banners

# The editor prints the two algorithm codes onto the ends of the banner
# (bold, mid grey); the centre carries the name of the combination.
BANNERS = {
    "rotary": ("ROTARY SPEAKER", 60, 294),
    "vinyl": ("LO-FI VINYL", 82, 272),
    "junkie": ("LO-FI JUNK", 70, 282),
}


def _icon_rotary(L, cx, cy, r, col):
    L.arc(cx - r, cy - r, cx + r, cy + r, 200, 160 + 360 - 20, fill=col, width=1.6)
    # arrow head at the end of the arc (angle 120 degrees, clockwise in screen space)
    ang = math.radians(120)
    ex, ey = cx + r * math.cos(ang), cy + r * math.sin(ang)
    L.polygon([(ex - 3.2, ey - 1.0), (ex + 1.6, ey - 3.2), (ex + 1.2, ey + 2.2)], fill=col)
    L.ellipse(cx - 2.2, cy - 2.2, cx + 2.2, cy + 2.2, fill=col)


def _icon_vinyl(L, cx, cy, r, col):
    L.ellipse(cx - r, cy - r, cx + r, cy + r, fill=rgba((18, 18, 18)), outline=col, width=1.2)
    L.ellipse(cx - r * 0.68, cy - r * 0.68, cx + r * 0.68, cy + r * 0.68, outline=rgba(TEXT_FAINT), width=0.6)
    L.ellipse(cx - r * 0.36, cy - r * 0.36, cx + r * 0.36, cy + r * 0.36, fill=col)
    L.ellipse(cx - 0.9, cy - 0.9, cx + 0.9, cy + 0.9, fill=rgba((18, 18, 18)))


def _icon_junk(L, cx, cy, r, col):
    # a sine wave crushed into steps
    steps = 7
    pts = []
    for i in range(steps + 1):
        t = i / steps
        x0 = cx - r + t * 2 * r
        y = cy - round(math.sin(t * 2 * math.pi) * 2.0) * (r / 2.4)
        if pts:
            pts.append((x0, pts[-1][1]))
        pts.append((x0, y))
    L.d.line([(p[0] * SS, p[1] * SS) for p in pts], fill=col, width=int(1.6 * SS), joint=None)


ICONS = {"rotary": _icon_rotary, "vinyl": _icon_vinyl, "junkie": _icon_junk}


def banner(kind):
    w, h = 350, 27
    title, left_end, right_start = BANNERS[kind]
    img = blank(w, h)
    f = font("condbold", 12)
    tw = text_width(title, f, 1.0)
    content = 16 + 6 + tw
    cx = (left_end + right_start) / 2.0
    px0, px1 = cx - content / 2.0 - 11, cx + content / 2.0 + 11
    cy = h / 2.0

    def tray(L):
        L.rrect(0.5, 0.5, w - 0.5, h - 0.5, 7, fill=(255, 255, 255, 78), outline=(104, 108, 114, 170), width=1)
        # connectors from the code slots to the name plate
        L.line([(left_end + 4, cy), (px0 - 5, cy)], fill=(110, 114, 120, 200), width=1.2)
        L.line([(px1 + 5, cy), (right_start - 4, cy)], fill=(110, 114, 120, 200), width=1.2)
        for x in (left_end + 4, right_start - 4):
            L.ellipse(x - 2, cy - 2, x + 2, cy + 2, fill=(110, 114, 120, 220))
    img = shapes(img, tray)
    img = shadow(img, lambda L: L.rrect(px0, 3, px1, h - 3, 10.5, fill=(0, 0, 0, 255)), 1.5, (0, 1), opacity=110)
    img = gradient_shapes(img, lambda L: L.rrect(px0, 3, px1, h - 3, 10.5, fill=(0, 0, 0, 255)),
                          (70, 70, 70), (34, 34, 34))
    img = shapes(img, lambda L: L.rrect(px0, 3, px1, h - 3, 10.5, outline=rgba(AMBER, 150), width=1))
    ix = px0 + 11 + 8
    img = shapes(img, lambda L: ICONS[kind](L, ix, cy, 6.5, rgba(TEAL)))
    img = text(img, (ix + 8 + 6, cy + 0.5), title, f, AMBER, anchor="lm", tracking=1.0)
    return img


def cat_rotary():
    return banner("rotary")


def cat_vinyl():
    return banner("vinyl")


def cat_junkie():
    return banner("junkie")


# ------------------------------------------------------- buttons and marks

def tips_button():
    """Round tips button: a light bulb on a dark disc with an amber ring."""
    w = h = 38
    img = blank(w, h)
    cx, cy, r = 19, 18.5, 16.6
    img = shadow(img, lambda L: L.ellipse(cx - r, cy - r, cx + r, cy + r, fill=(0, 0, 0, 255)), 1.2, (0, 1), opacity=140)
    img = gradient_shapes(img, lambda L: L.ellipse(cx - r, cy - r, cx + r, cy + r, fill=(0, 0, 0, 255)),
                          (84, 84, 84), (30, 30, 30))

    def bulb(L):
        L.ellipse(cx - r, cy - r, cx + r, cy + r, outline=rgba(AMBER), width=1.6)
        L.ellipse(cx - r + 2.2, cy - r + 2.2, cx + r - 2.2, cy + r - 2.2, outline=(255, 255, 255, 40), width=0.8)
        bx, by, br = cx, cy - 3.6, 7.0
        L.ellipse(bx - br, by - br, bx + br, by + br, fill=rgba((255, 221, 90)))
        L.polygon([(bx - 4.6, by + 3.6), (bx + 4.6, by + 3.6), (bx + 3.0, by + 8.2), (bx - 3.0, by + 8.2)],
                  fill=rgba((255, 221, 90)))
        L.ellipse(bx - 3.4, by - 4.0, bx - 0.6, by - 1.2, fill=(255, 255, 255, 200))
        L.rrect(bx - 3.4, by + 9.0, bx + 3.4, by + 10.6, 0.8, fill=rgba((205, 205, 205)))
        L.rrect(bx - 2.8, by + 11.4, bx + 2.8, by + 13.0, 0.8, fill=rgba((165, 165, 165)))
    return shapes(img, bulb)


def arrow():
    """Downward arrow that points at the slot choice below it."""
    w, h = 50, 51
    img = blank(w, h)
    pts = [(17, 4), (33, 4), (33, 24), (44, 24), (25, 46), (6, 24), (17, 24)]

    def shape(L):
        L.polygon(pts, fill=(0, 0, 0, 255))
    img = shadow(img, shape, 1.6, (0, 2), opacity=150)
    img = gradient_shapes(img, shape, (255, 224, 96), (236, 150, 0))

    def edge(L):
        L.line(pts + [pts[0]], fill=(90, 60, 0, 200), width=1.1)
        L.line([(18.6, 5.6), (31.4, 5.6)], fill=(255, 255, 255, 150), width=1.0)
    return shapes(img, edge)


def _card(w, h, r, top, bottom, border, border_w=1.5, margin=3):
    """Raised rounded card with a soft shadow, inside a w x h picture."""
    img = blank(w, h)
    x0, y0, x1, y1 = margin, margin - 1, w - margin, h - margin - 1
    img = shadow(img, lambda L: L.rrect(x0, y0, x1, y1, r, fill=(0, 0, 0, 255)), margin * 0.6, (0, 1), opacity=170)
    img = gradient_shapes(img, lambda L: L.rrect(x0, y0, x1, y1, r, fill=(0, 0, 0, 255)), top, bottom)
    img = shapes(img, lambda L: (
        L.rrect(x0, y0, x1, y1, r, outline=rgba(border), width=border_w),
        L.line([(x0 + r, y0 + border_w + 0.6), (x1 - r, y0 + border_w + 0.6)], fill=(255, 255, 255, 46), width=1),
    ))
    return img, (x0, y0, x1, y1)


def arp_save():
    """Confirmation shown for a second after a sequence was stored."""
    w, h = 282, 74
    img, (x0, y0, x1, y1) = _card(w, h, 11, (70, 74, 74), (36, 38, 38), TEAL, 2)
    cy = (y0 + y1) / 2.0

    def badge(L):
        L.ellipse(16, cy - 20, 56, cy + 20, fill=rgba(TEAL))
        L.ellipse(16, cy - 20, 56, cy + 20, outline=rgba(TEAL_DEEP), width=1)
        draw_check(L, 36, cy + 1, 22, rgba((24, 52, 56)), 4.2)
    img = shapes(img, badge)
    img = text(img, (70, cy - 3), "SEQUENCE SAVED", font("bold", 17), WHITE, anchor="ls", tracking=0.6)
    img = text(img, (71, cy + 16), "Arp sequence stored in the pedal", font("cond", 12), TEAL, anchor="ls")
    return img


def _die(L, x, y, s, pips, face, pip):
    L.rrect(x, y, x + s, y + s, s * 0.2, fill=face, outline=(0, 0, 0, 120), width=0.8)
    pos = {"c": (0.5, 0.5), "tl": (0.26, 0.26), "tr": (0.74, 0.26), "bl": (0.26, 0.74),
           "br": (0.74, 0.74), "ml": (0.26, 0.5), "mr": (0.74, 0.5)}
    r = s * 0.085
    for p in pips:
        px, py = pos[p]
        L.ellipse(x + px * s - r, y + py * s - r, x + px * s + r, y + py * s + r, fill=pip)


def arp_random():
    """Shown over the greyed sliders while the engine plays its random sequence."""
    w, h = 350, 91
    img, (x0, y0, x1, y1) = _card(w, h, 12, (66, 66, 66), (34, 34, 34), AMBER, 1.6)

    def dice(L):
        _die(L, 16, 20, 30, ("tl", "c", "br"), rgba((245, 245, 245)), rgba(DARK))
        _die(L, 36, 40, 30, ("tl", "tr", "ml", "mr", "bl", "br"), rgba(AMBER), rgba(DARK))
    img = shapes(img, dice)
    tx = 82
    img = text(img, (tx, 30), "SEQUENCE RANDOM", font("bold", 17), AMBER, anchor="ls", tracking=0.8)
    f = font("cond", 13)
    img = text(img, (tx, 51), "The pedal plays its fixed random sequence;", f, TEXT, anchor="ls")
    img = text(img, (tx, 68), "pick Sequence I to IV to edit a sequence.", f, TEXT_DIM, anchor="ls")
    return img


def update_icon():
    """Firmware update: a processor chip with a download badge, on the white update panel."""
    w, h = 140, 123
    img = blank(w, h)
    x0, y0, x1, y1 = 26, 14, 100, 88

    def pins(L):
        n = 6
        for i in range(n):
            t = x0 + 9 + i * (x1 - x0 - 18) / (n - 1)
            L.rrect(t - 2.4, y0 - 9, t + 2.4, y0 + 2, 1.2, fill=rgba((150, 154, 160)))
            L.rrect(t - 2.4, y1 - 2, t + 2.4, y1 + 9, 1.2, fill=rgba((150, 154, 160)))
            u = y0 + 9 + i * (y1 - y0 - 18) / (n - 1)
            L.rrect(x0 - 9, u - 2.4, x0 + 2, u + 2.4, 1.2, fill=rgba((150, 154, 160)))
            L.rrect(x1 - 2, u - 2.4, x1 + 9, u + 2.4, 1.2, fill=rgba((150, 154, 160)))
    img = shadow(img, lambda L: L.rrect(x0, y0, x1, y1, 7, fill=(0, 0, 0, 255)), 3, (1, 3), opacity=90)
    img = shapes(img, pins)
    img = gradient_shapes(img, lambda L: L.rrect(x0, y0, x1, y1, 7, fill=(0, 0, 0, 255)),
                          (78, 78, 80), (36, 36, 38))
    img = shapes(img, lambda L: (
        L.rrect(x0 + 9, y0 + 9, x1 - 9, y1 - 9, 4, outline=rgba((100, 100, 104)), width=1.2),
        L.ellipse(x0 + 5, y0 + 5, x0 + 10, y0 + 10, fill=rgba((120, 120, 124))),
    ))
    img = text(img, ((x0 + x1) / 2.0, (y0 + y1) / 2.0 - 1), "FW", font("bold", 22), TEAL, anchor="mm")

    bx, by, br = 104, 88, 25
    img = shadow(img, lambda L: L.ellipse(bx - br, by - br, bx + br, by + br, fill=(0, 0, 0, 255)), 2.5, (1, 2), opacity=110)
    img = gradient_shapes(img, lambda L: L.ellipse(bx - br, by - br, bx + br, by + br, fill=(0, 0, 0, 255)),
                          (120, 206, 206), (22, 120, 124))

    def badge(L):
        L.ellipse(bx - br, by - br, bx + br, by + br, outline=rgba(WHITE), width=3)
        L.polygon([(bx - 4.5, by - 14), (bx + 4.5, by - 14), (bx + 4.5, by - 1), (bx + 11, by - 1),
                   (bx, by + 11), (bx - 11, by - 1), (bx - 4.5, by - 1)], fill=rgba(WHITE))
        L.rrect(bx - 12, by + 13.5, bx + 12, by + 16.5, 1.5, fill=rgba(WHITE))
    return shapes(img, badge)


# ---------------------------------------------------------------- arp page

ARP_ALGORITHMS = [
    ("ARP.TR", "Arp Tremolo"), ("ARP.FI", "Arp Filter"), ("ARP.FO", "Arp Formant"),
    ("ARP.FL", "Arp Flanger"), ("ARP.PH", "Arp Phaser"), ("ARP.RM", "Arp Ring Modulator"),
    ("ARPGTR", "Arpeggiator"),
]


def _warning_sign(L, cx, cy, s):
    h = s * 0.88
    L.polygon([(cx, cy - h / 2), (cx + s / 2, cy + h / 2), (cx - s / 2, cy + h / 2)], fill=rgba(AMBER))
    L.rrect(cx - s * 0.055, cy - h * 0.18, cx + s * 0.055, cy + h * 0.22, s * 0.05, fill=rgba(DARK))
    L.ellipse(cx - s * 0.065, cy + h * 0.29, cx + s * 0.065, cy + h * 0.42, fill=rgba(DARK))


def arp_alert():
    """Covers the arp page while neither engine of the preset runs an arp algorithm."""
    w, h = 670, 467
    img, (x0, y0, x1, y1) = _card(w, h, 14, (46, 46, 46), (34, 34, 34), (96, 96, 96), 1.2, margin=4)
    # title bar
    img = gradient_shapes(img, lambda L: (L.rrect(x0 + 1, y0 + 1, x1 - 1, y0 + 64, 13, fill=(0, 0, 0, 255)),
                                          L.rect(x0 + 1, y0 + 40, x1 - 1, y0 + 64, (0, 0, 0, 255))),
                          (70, 70, 70), (50, 50, 50))
    img = shapes(img, lambda L: (L.rect(x0 + 1, y0 + 64, x1 - 1, y0 + 66, rgba(AMBER)),
                                 _warning_sign(L, x0 + 40, y0 + 33, 34)))
    img = text(img, (x0 + 70, y0 + 31), "No arp algorithm in this preset", font("bold", 21), WHITE, anchor="ls")
    img = text(img, (x0 + 71, y0 + 51), "Sequences can be edited while an engine runs an arp algorithm.",
               font("sans", 13), TEXT_DIM, anchor="ls")

    # a dimmed step sequence as a reminder of what this page edits
    levels = [0.9, 0.35, 0.65, 0.2, 1.0, 0.5, 0.75, 0.3]
    gx, gy, gw, gh = x1 - 212, y0 + 92, 186, 92

    def steps(L):
        L.rrect(gx - 10, gy - 10, gx + gw + 10, gy + gh + 26, 8, fill=(0, 0, 0, 70), outline=(255, 255, 255, 30), width=1)
        bw = gw / 8.0
        for i, v in enumerate(levels):
            bx = gx + i * bw + 3
            top = gy + gh * (1 - v)
            L.rrect(bx, top, bx + bw - 6, gy + gh, 2.5, fill=rgba(TEAL, 90 if i % 2 else 120))
        L.rect(gx, gy + gh + 1, gx + gw, gy + gh + 2, (255, 255, 255, 50))
    img = shapes(img, steps)
    sf = font("sans", 10)
    for i in range(8):
        img = text(img, (gx + i * gw / 8.0 + gw / 16.0, gy + gh + 14), str(i + 1), sf, TEXT_FAINT, anchor="mm")

    tx = x0 + 28
    body = font("sans", 14)
    img, y = paragraph(img, tx, y0 + 90, "The Arp Editor shapes the step sequences of the seven arp "
                       "algorithms. Neither DSP-X nor DSP-Y of the current preset runs one of them.",
                       body, TEXT, 405, 21)

    # the seven algorithms, two columns of code badges
    y += 10
    cf = font("mono", 11)
    nf = font("sans", 13)
    col_w = 205
    for i, (code, name) in enumerate(ARP_ALGORITHMS):
        cx = tx + (i // 4) * col_w
        cy = y + (i % 4) * 27
        img = shapes(img, lambda L, cx=cx, cy=cy: L.rrect(cx, cy, cx + 58, cy + 20, 4, fill=rgba((24, 24, 24)),
                                                           outline=rgba(AMBER, 170), width=1))
        img = text(img, (cx + 29, cy + 10.5), code, cf, AMBER, anchor="mm")
        img = text(img, (cx + 68, cy + 10.5), name, nf, TEXT, anchor="lm")
    y += 4 * 27 + 10

    img = shapes(img, lambda L: L.rect(tx, y, x1 - 28, y + 1, (255, 255, 255, 40)))
    y += 14
    img = text(img, (tx, y), "To edit sequences", font("bold", 15), AMBER, anchor="lt")
    y += 28
    steps_text = [
        "Open the Dashboard tab.",
        "Pick an algorithm of the  A r p  group in the DSP-X or the DSP-Y algorithm menu.",
        "Come back to the Arp Editor tab: the sequences of that algorithm appear here.",
    ]
    for i, s in enumerate(steps_text):
        img = shapes(img, lambda L, yy=y: L.ellipse(tx, yy - 1, tx + 20, yy + 19, fill=rgba(TEAL)))
        img = text(img, (tx + 10, y + 9), str(i + 1), font("bold", 12), DARKEST, anchor="mm")
        img = text(img, (tx + 32, y + 9), s, body, TEXT, anchor="lm")
        y += 28
    y += 4
    img, y = paragraph(img, tx, y, "Sequences are not part of a preset: each arp algorithm keeps four "
                       "user sequences and a random one in the pedal's global sequence library.",
                       font("oblique", 12), TEXT_DIM, x1 - x0 - 56, 17)
    return img


# ------------------------------------------------------------ infographic

# The help picture is drawn over the main window with its corner at
# window position (43, 68); everything below is placed in window
# coordinates and shifted by that offset, so each outline falls on the
# area it explains.
INFO_AT = (43, 68)
INFO_SIZE = (1044, 541)
INFO_VISIBLE_W = 1070 - INFO_AT[0]  # the window's right edge cuts the picture here


def _win(x, y):
    return x - INFO_AT[0], y - INFO_AT[1]


def _win_box(x0, y0, x1, y1):
    a = _win(x0, y0)
    b = _win(x1, y1)
    return a[0], a[1], b[0], b[1]


# Areas of the main window: number, window box (x0, y0, x1, y1).
INFO_AREAS = [
    (3, (8, 132, 364, 604)),      # preset pages (their column headings lie just above)
    (4, (376, 64, 1064, 500)),    # Dashboard controls
    (5, (603, 64, 839, 96)),      # combo algorithm templates button
    (6, (380, 503, 673, 562)),    # "Save preset in pedal", slot selector and WRITE
    (7, (380, 562, 590, 595)),    # progress bar
    (8, (770, 503, 1059, 594)),   # "Save preset in computer" and the offline list
]

INFO_TEXT = {
    1: ("HEADER", None),
    2: ("TABS", None),
    5: ("COMBO ALGORITHM TEMPLATES", "Set a rotary, vinyl or junk pair in one step."),
    6: ("SLOT SELECTOR + WRITE", "Choose a slot, then press WRITE: the edited preset is stored in the pedal and verified."),
    7: ("PROGRESS BAR", "Progress of pedal operations: teal when done, dark red on errors."),
    8: ("SAVE PRESET IN COMPUTER", "Keeps presets as files on this computer, with or without the pedal."),
    9: ("STATUS BOARD (below)", "A time-stamped line for every operation."),
    10: ("CONNECT \u00b7 MENU \u00b7 QUIT (below)", "Connect finds the pedal. Menu: about, updates, backup, restore, global and MIDI settings."),
}


def _badge(img, cx, cy, n, r=11):
    img = shadow(img, lambda L: L.ellipse(cx - r, cy - r, cx + r, cy + r, fill=(0, 0, 0, 255)), 1.5, (0, 1), opacity=180)
    img = shapes(img, lambda L: (L.ellipse(cx - r, cy - r, cx + r, cy + r, fill=rgba(AMBER)),
                                 L.ellipse(cx - r, cy - r, cx + r, cy + r, outline=rgba((120, 80, 0)), width=1)))
    return text(img, (cx, cy + 0.5), str(n), font("bold", 12 if n < 10 else 11), DARKEST, anchor="mm")


def _info_card(img, box, radius=9):
    x0, y0, x1, y1 = box
    img = shadow(img, lambda L: L.rrect(x0, y0, x1, y1, radius, fill=(0, 0, 0, 255)), 4, (0, 2), opacity=200)
    return shapes(img, lambda L: (L.rrect(x0, y0, x1, y1, radius, fill=(38, 38, 40, 246)),
                                  L.rrect(x0, y0, x1, y1, radius, outline=(110, 110, 110, 255), width=1),
                                  L.line([(x0 + radius, y0 + 1.5), (x1 - radius, y0 + 1.5)],
                                         fill=(255, 255, 255, 40), width=1)))


def _entry(img, x, y, width, n, leading=16):
    """Badge, title and wrapped text of one numbered entry; returns the y below it."""
    title, body = INFO_TEXT[n]
    img = _badge(img, x + 11, y + 9, n)
    img = text(img, (x + 28, y + 9), title, font("bold", 12), AMBER, anchor="lm", tracking=0.4)
    y += 21
    if body:
        img, y = paragraph(img, x + 28, y, body, font("cond", 12), TEXT, width - 28, leading)
    return img, y


def _bullets(img, x, y, width, items, leading=16):
    f = font("cond", 12)
    for it in items:
        img = shapes(img, lambda L, yy=y: L.ellipse(x + 1, yy + 5, x + 6, yy + 10, fill=rgba(TEAL)))
        img, y = paragraph(img, x + 12, y, it, f, TEXT, width - 12, leading)
        y += 3
    return img, y


def _pointer(img, cx, edge_y, n, up):
    """A numbered tab at the top or bottom edge pointing at an area outside the picture."""
    w = 40 if n >= 10 else 36
    if up:
        y0, y1 = edge_y, edge_y + 20
    else:
        y0, y1 = edge_y - 20, edge_y
    img = shapes(img, lambda L: L.rrect(cx - w / 2, y0, cx + w / 2, y1, 5, fill=rgba(AMBER)))
    tri_y = y0 + 10
    img = shapes(img, lambda L: L.polygon(
        [(cx + w / 2 - 12, tri_y + (3 if up else -3)), (cx + w / 2 - 4, tri_y + (3 if up else -3)),
         (cx + w / 2 - 8, tri_y + (-4 if up else 4))], fill=rgba(DARKEST)))
    return text(img, (cx - 5, tri_y + 0.5), str(n), font("bold", 12), DARKEST, anchor="mm")


def infographic():
    w, h = INFO_SIZE
    vis = INFO_VISIBLE_W
    layer = Layer(w, h)
    layer.rect(0, 0, w, h, (14, 14, 16, 212))
    # lighter windows over the explained areas let the real controls show through
    for _, box in INFO_AREAS:
        x0, y0, x1, y1 = _win_box(*box)
        layer.d.rounded_rectangle(layer.box(max(x0, 2), y0, min(x1, vis - 2), y1), radius=6 * SS,
                                  fill=(14, 14, 16, 120))
    img = layer.result()

    def outlines(L):
        for n, box in INFO_AREAS:
            x0, y0, x1, y1 = _win_box(*box)
            col = rgba(TEAL) if n == 5 else rgba(AMBER)
            L.rrect(max(x0, 2), max(y0, 1), min(x1, vis - 2), y1, 6, outline=col, width=2)
    img = shapes(img, outlines)

    # 1, 2: header and tabs above the picture; 9, 10: below it
    # The window draws the preset list's column headings over the top left
    # of this picture (they reach past the list), so that band stays free.
    def top_card(img, x0, x1, y1, n, lines):
        img = _info_card(img, (x0, 4, x1, y1))
        img = _pointer(img, x0 + 24, 10, n, True)
        img = text(img, (x0 + 50, 20), INFO_TEXT[n][0], font("bold", 12), AMBER, anchor="lm", tracking=0.4)
        y = 29
        for parts in lines:
            x = x0 + 50
            for s, f, col in parts:
                img = text(img, (x, y), s, font(f, 12), col, anchor="la")
                x += font(f, 12).getlength(s)
            y += 14
        return img
    img = top_card(img, 390, 550, 74, 2, [
        [("Dashboard \u00b7", "cond", TEXT)],
        [("Expression \u00b7", "cond", TEXT)],
        [("Arp Editor \u00b7 Library", "cond", TEXT)]])
    img = top_card(img, 815, vis - 6, 74, 1, [
        [("Serial No. of the pedal, or", "cond", TEXT)],
        [("\u201cPedal not found.\u201d", "condbold", TEXT)],
        [("Program and maker logos.", "cond", TEXT_DIM)]])

    # 5: templates button, explained below it
    bx0, by0, bx1, by1 = _win_box(*INFO_AREAS[2][1])
    img = _badge(img, bx1 + 2, by0 + 14, 5)
    card = (bx0 - 3, by1 + 7, bx1 + 16, by1 + 55)
    img = _info_card(img, card)
    img = text(img, (card[0] + 10, card[1] + 13), "COMBO TEMPLATES", font("bold", 12), TEAL, anchor="lm", tracking=0.4)
    img = text(img, (card[0] + 10, card[1] + 23), INFO_TEXT[5][1], font("cond", 12), TEXT, anchor="la")

    # 3: preset pages
    px0, py0, px1, py1 = _win_box(*INFO_AREAS[0][1])
    img = _badge(img, px1 - 4, py0 + 2, 3)
    card = (18, 150, 308, 404)
    img = _info_card(img, card)
    cx, cy = card[0] + 12, card[1] + 10
    img = _badge(img, cx + 11, cy + 9, 3)
    img = text(img, (cx + 28, cy + 9), "PRESET PAGES", font("bold", 13), AMBER, anchor="lm", tracking=0.4)
    cy += 26
    img, cy = paragraph(img, cx, cy, "The pedal's 32 presets on 4 pages: 16 banks with patches A and B. "
                        "PC# is the MIDI program change number.", font("cond", 12), TEXT, 264, 16)
    cy += 6
    img, cy = _bullets(img, cx, cy, 264, [
        "Click a bank button to load that preset into the editor.",
        "Type a title of up to 12 characters before you write.",
        "S: auto stomp mode.  B: bypass on MIDI program change.",
        "Scroll down for pages 2 to 4.",
    ])
    img, cy = paragraph(img, cx, cy + 4, "Click INFOGRAPHIC again to close this picture.",
                        font("oblique", 11), TEXT_DIM, 264, 15)
    # the INFOGRAPHIC button lies just below the picture
    ibx = _win(173, 0)[0]
    img = shapes(img, lambda L: L.polygon([(ibx - 9, h - 12), (ibx + 9, h - 12), (ibx, h - 2)], fill=rgba(TEXT_DIM)))

    # 4: Dashboard
    dx0, dy0, dx1, dy1 = _win_box(*INFO_AREAS[1][1])
    img = _badge(img, dx0 + 1, 200, 4)
    card = (452, 92, 906, 266)
    img = text(img, (392, 84), "DSP-Y", font("bold", 15), TEAL, anchor="mm", tracking=1.5)
    img = text(img, (964, 84), "DSP-X", font("bold", 15), TEAL, anchor="mm", tracking=1.5)
    img = _info_card(img, card)
    cx, cy = card[0] + 14, card[1] + 10
    img = _badge(img, cx + 11, cy + 9, 4)
    img = text(img, (cx + 28, cy + 9), "DASHBOARD  \u2014  THE PRESET EDITOR", font("bold", 13), AMBER,
               anchor="lm", tracking=0.4)
    cy += 28
    img, cy = _bullets(img, cx, cy, card[2] - card[0] - 28, [
        "DSP-Y on the left, DSP-X on the right: algorithm, the three knobs, three secondary "
        "parameters, tap divide and engage.",
        "In the middle: SWAP exchanges the engines; routing Cascade / Mixture / LR-split, "
        "Pre / Post and the master volume.",
        "Every change is heard on the pedal at once. Sliders send when you let go of the mouse button.",
        "The other tabs edit expression and ramp mapping and the arp sequences.",
    ])

    # 6, 7, 9 under the editor on the left
    card = (338, 272, 716, 430)
    img = _info_card(img, card)
    cy = card[1] + 9
    for n in (6, 7, 9):
        img, cy = _entry(img, card[0] + 10, cy, card[2] - card[0] - 20, n, 14)
        cy += 5
    _, sy0, sx1, sy1 = _win_box(*INFO_AREAS[3][1])
    img = _badge(img, sx1 + 14, sy1 - 16, 6)
    gx0, gy0, gx1, gy1 = _win_box(*INFO_AREAS[4][1])
    img = _badge(img, gx1 + 14, (gy0 + gy1) / 2.0, 7)
    img = _pointer(img, _win(632, 0)[0], h - 1, 9, False)

    # 8, 10 on the right
    card = (728, 272, vis - 6, 430)
    img = _info_card(img, card)
    cy = card[1] + 9
    for n in (8, 10):
        img, cy = _entry(img, card[0] + 10, cy, card[2] - card[0] - 20, n, 15)
        cy += 10
    ox0, oy0, ox1, _ = _win_box(*INFO_AREAS[5][1])
    img = _badge(img, ox1 - 4, oy0 + 2, 8)
    img = _pointer(img, _win(980, 0)[0], h - 1, 10, False)
    return img


# ------------------------------------------------------------------- main

# File name -> (drawing function, expected size).  Names carry the sizes
# the program lays the pictures out with.
ARTWORK = [
    ("appLogo_(149x37).png", app_logo, (149, 37)),
    ("brakwellLogo.png", maker_logo, (130, 50)),
    ("Infographic_[1044x541].png", infographic, (1044, 541)),
    ("backdrop_[700x592].png", backdrop, (700, 592)),
    ("cat_rotary_[350x27].png", cat_rotary, (350, 27)),
    ("cat_vinyl_[350x27].png", cat_vinyl, (350, 27)),
    ("cat_junkie_[350x27].png", cat_junkie, (350, 27)),
    ("tips_Button_[38x38].png", tips_button, (38, 38)),
    ("arrow_[50x51].png", arrow, (50, 51)),
    ("arp_alert_[670x467].png", arp_alert, (670, 467)),
    ("arp_save_[282x74].png", arp_save, (282, 74)),
    ("arp_random_[350x91].png", arp_random, (350, 91)),
    ("update_icon_(140x123).png", update_icon, (140, 123)),
]

# Pictures that are always drawn over a solid area are stored opaque.
OPAQUE = {"backdrop_[700x592].png"}


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, os.pardir, "img")
    os.makedirs(out_dir, exist_ok=True)
    for name, fn, size in ARTWORK:
        img = fn()
        if img.size != size:
            raise SystemExit("%s: drawn %dx%d, expected %dx%d" % (name, img.size[0], img.size[1], size[0], size[1]))
        if name in OPAQUE:
            img = img.convert("RGB")
        path = os.path.join(out_dir, name)
        img.save(path, "PNG", optimize=True)
        print("%-28s %4d x %-4d %s" % (name, size[0], size[1], img.mode))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

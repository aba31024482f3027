#!/usr/bin/python3
"""Packs PNG pictures into one Windows icon file (.ico), each kept as PNG.

    python3 make_ico.py OUT.ico IN-48.png IN-128.png IN-256.png

The Windows build packs the application icon drawn by tools/make_icon.py
(img/korvane-<size>.png) into the program's icon resource this way; Windows
draws the smaller sizes it needs (16, 24, 32) from the 48-pixel picture.
Standard library only.
"""

import struct
import sys

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_size(data, name):
    if data[:8] != PNG_SIGNATURE or data[12:16] != b"IHDR":
        raise SystemExit(f"make_ico: {name} is not a PNG picture")
    width, height = struct.unpack(">II", data[16:24])
    if not (0 < width <= 256 and 0 < height <= 256):
        raise SystemExit(f"make_ico: {name} is {width}x{height}; an icon is at most 256x256")
    return width, height


def main(argv):
    if len(argv) < 3:
        raise SystemExit("usage: make_ico.py OUT.ico PICTURE.png...")
    pictures = []
    for name in argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        pictures.append((png_size(data, name), data))
    pictures.sort(key=lambda p: p[0][0])
    header = struct.pack("<HHH", 0, 1, len(pictures))
    offset = len(header) + 16 * len(pictures)
    entries, images = b"", b""
    for (width, height), data in pictures:
        # 0 stands for 256 in the one-byte sizes.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        images += data
        offset += len(data)
    with open(argv[1], "wb") as f:
        f.write(header + entries + images)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

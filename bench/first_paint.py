#!/usr/bin/env python3
"""Waits for a top-level window whose name starts with NAME to show a colour
at X, Y (its own coordinates) near R G B, polling every millisecond through
libX11 (no tool started per sample), and prints the wall-clock time
(time.time()) it was first seen. Exit status 1 after TIMEOUT seconds.

usage: first_paint.py NAME X Y R G B [TIMEOUT]
"""
import ctypes
import ctypes.util
import sys
import time

name, x, y, r, g, b = sys.argv[1], *map(int, sys.argv[2:7])
timeout = float(sys.argv[7]) if len(sys.argv) > 7 else 30.0

x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                           ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                           ctypes.POINTER(ctypes.c_uint)]
x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                          ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XGetPixel.restype = ctypes.c_ulong
x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
x11.XDestroyImage = None  # a macro; the image is freed with XFree below (its data with it leaks a few bytes)
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]

# A window not yet mapped answers XGetImage with BadMatch: ignore X errors.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
ignore = ERROR_HANDLER(lambda d, e: 0)
x11.XSetErrorHandler(ignore)

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("first_paint.py: no display")
root = x11.XDefaultRootWindow(display)


def find_window():
    root_ret, parent = ctypes.c_ulong(), ctypes.c_ulong()
    children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    if not x11.XQueryTree(display, root, ctypes.byref(root_ret), ctypes.byref(parent), ctypes.byref(children),
                          ctypes.byref(count)):
        return None
    found = None
    for i in range(count.value):
        text = ctypes.c_char_p()
        if x11.XFetchName(display, children[i], ctypes.byref(text)) and text.value:
            if text.value.decode(errors="replace").startswith(name):
                found = children[i]
            x11.XFree(text)
    if children:
        x11.XFree(children)
    return found


deadline = time.time() + timeout
window = None
while time.time() < deadline:
    if window is None:
        window = find_window()
    if window is not None:
        image = x11.XGetImage(display, window, x, y, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
        if image:
            pixel = x11.XGetPixel(image, 0, 0)
            x11.XFree(image)
            pr, pg, pb = (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF
            if (pr - r) ** 2 + (pg - g) ** 2 + (pb - b) ** 2 < 40 * 40:
                print(f"{time.time():.6f}")
                sys.exit(0)
        x11.XSync(display, 0)
    time.sleep(0.001)
sys.exit(1)

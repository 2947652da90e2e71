#!/usr/bin/env python3
"""Prints the keys that the X server holds down, one name a line (nothing when all are up).

A key left down repeats into every window that takes the focus after it, so the end-to-end tests
check that none is. Reads the server's key map (XQueryKeymap) through libX11; exit status 2 when
the display cannot be opened.
"""
import ctypes
import ctypes.util
import sys


def main():
    name = ctypes.util.find_library("X11") or "libX11.so.6"
    x11 = ctypes.CDLL(name)
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XQueryKeymap.argtypes = [ctypes.c_void_p, ctypes.c_char * 32]
    x11.XKeycodeToKeysym.restype = ctypes.c_ulong
    x11.XKeycodeToKeysym.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int]
    x11.XKeysymToString.restype = ctypes.c_char_p
    x11.XKeysymToString.argtypes = [ctypes.c_ulong]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = x11.XOpenDisplay(None)
    if not display:
        print("x_keys: cannot open the display", file=sys.stderr)
        return 2
    keys = (ctypes.c_char * 32)()
    x11.XQueryKeymap(display, keys)
    for code in range(8, 256):
        if keys.raw[code // 8] & (1 << (code % 8)):
            sym = x11.XKeycodeToKeysym(display, code, 0)
            text = x11.XKeysymToString(sym) if sym else None
            print(text.decode() if text else f"keycode {code}")
    x11.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main())
